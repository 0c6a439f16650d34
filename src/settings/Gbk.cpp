#include "settings/Gbk.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace dsadmin {
namespace {

// Move-only owner of an iconv descriptor.
class Iconv {
  public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("系统的 iconv 不能把 ") + from + " 转换为 " + to +
                                     "（缺少字符集转换模块）。");
        }
    }
    Iconv(Iconv&& other) noexcept : cd_(other.cd_) { other.cd_ = reinterpret_cast<iconv_t>(-1); }
    Iconv& operator=(Iconv&&) = delete;
    Iconv(const Iconv&) = delete;
    ~Iconv() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }

    // Converts the whole input. Where iconv rejects the input (invalid, unconvertible or cut
    // short), `bad` is emitted and skipLength(in, offset) bytes are skipped, so the conversion
    // always finishes.
    std::string convert(std::string_view in, std::string_view bad,
                        std::size_t (*skipLength)(std::string_view, std::size_t)) {
        std::string out;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        char buffer[1024];
        while (srcLeft > 0) {
            char* dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            const std::size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, dst);
            if (rc != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
            const std::size_t skip = skipLength(in, static_cast<std::size_t>(src - in.data()));
            out.append(bad);
            src += skip;
            srcLeft -= skip;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

  private:
    iconv_t cd_;
};

std::size_t OneByte(std::string_view, std::size_t) {
    return 1;
}

// A UTF-8 character that GBK cannot hold is skipped whole; a byte that starts no valid UTF-8
// sequence is skipped alone.
std::size_t Utf8CharLength(std::string_view text, std::size_t pos) {
    const auto c = static_cast<unsigned char>(text[pos]);
    std::size_t n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    if (pos + n > text.size()) return 1;
    for (std::size_t i = 1; i < n; ++i) {
        if ((static_cast<unsigned char>(text[pos + i]) & 0xC0) != 0x80) return 1;
    }
    return n;
}

// The longest prefix of at most maxBytes that ends where a character (as charLength measures
// it) ends.
std::string_view WholeCharPrefix(std::string_view text, std::size_t maxBytes,
                                 std::size_t (*charLength)(std::string_view, std::size_t)) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t n = charLength(text, pos);
        if (pos + n > maxBytes) break;
        pos += n;
    }
    return text.substr(0, pos);
}

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
    thread_local Iconv decoder("UTF-8", "GBK");
    return decoder.convert(gbk, "\xEF\xBF\xBD", OneByte);
}

std::string Utf8ToGbk(std::string_view utf8) {
    thread_local Iconv encoder("GBK", "UTF-8");
    return encoder.convert(utf8, "?", Utf8CharLength);
}

std::string ValidUtf8(std::string_view utf8) {
    thread_local Iconv checker("UTF-8", "UTF-8");
    return checker.convert(utf8, "\xEF\xBF\xBD", OneByte);
}

std::string_view Utf8Prefix(std::string_view utf8, std::size_t maxBytes) {
    return WholeCharPrefix(utf8, maxBytes, Utf8CharLength);
}

std::string_view GbkPrefix(std::string_view gbk, std::size_t maxBytes) {
    return WholeCharPrefix(gbk, maxBytes, GbkCharLength);
}

}  // namespace dsadmin
