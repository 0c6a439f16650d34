#include "db/jet/AnswerReader.h"

#include <cstring>

#include "db/jet/JetWire.h"

namespace dsadmin {

AnswerReader::AnswerReader(std::string_view answer) : data_(answer) {
    constexpr std::size_t frame = sizeof jetwire::kMagic + 1 + sizeof jetwire::kTrailer;
    if (answer.size() < frame ||
        std::memcmp(answer.data(), jetwire::kMagic, sizeof jetwire::kMagic) != 0 ||
        std::memcmp(answer.data() + answer.size() - sizeof jetwire::kTrailer, jetwire::kTrailer,
                    sizeof jetwire::kTrailer) != 0) {
        throw Garbled("应答不完整");
    }
    kind_ = answer[sizeof jetwire::kMagic];
    pos_ = sizeof jetwire::kMagic + 1;
    end_ = answer.size() - sizeof jetwire::kTrailer;
}

void AnswerReader::need(std::size_t n) const {
    if (end_ - pos_ < n) throw Garbled("应答提前结束");
}

template <class T>
T AnswerReader::fixed() {
    need(sizeof(T));
    T v;
    std::memcpy(&v, data_.data() + pos_, sizeof(T));
    pos_ += sizeof(T);
    return v;
}

std::uint8_t AnswerReader::u8() {
    return fixed<std::uint8_t>();
}
std::uint32_t AnswerReader::u32() {
    return fixed<std::uint32_t>();
}

std::string AnswerReader::str() {
    std::uint32_t n = u32();
    need(n);
    std::string s(data_.substr(pos_, n));
    pos_ += n;
    return s;
}

Value AnswerReader::value() {
    switch (u8()) {
        case jetwire::kNull:
            return Value{};
        case jetwire::kInt:
            return Value{fixed<std::int64_t>()};
        case jetwire::kFloat:
            return Value{fixed<double>()};
        case jetwire::kText:
            return Value{str()};
        case jetwire::kFalse:
            return Value{false};
        case jetwire::kTrue:
            return Value{true};
        case jetwire::kDate:
            return Value{Date{fixed<double>()}};
        default:
            throw Garbled("值的类型标记未知");
    }
}

}  // namespace dsadmin
