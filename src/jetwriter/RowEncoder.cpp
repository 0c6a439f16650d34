#include "jetwriter/RowEncoder.h"

#include <limits>
#include <variant>

#include "jetwriter/JetWriteError.h"
#include "jetwriter/Page.h"
#include "jetwriter/Utf16.h"

namespace dsadmin::jet {
namespace {

// Memo values up to this many bytes stay inside the row; longer ones go to long-value
// pages, one row of up to kChunk bytes each.
constexpr std::size_t kInlineMemo = 256;
constexpr std::size_t kChunk = 4000;
constexpr std::size_t kMemoHeader = 12;
constexpr long kMaxMemoUnits = 65535;

[[noreturn]] void fail(const ColumnSpec& c, const std::string& what) {
    throw JetWriteError("column \"" + c.name + "\": " + what);
}

std::int64_t wholeNumber(const ColumnSpec& c, const Value& v, std::int64_t lo, std::int64_t hi,
                         const char* typeName) {
    const auto* i = std::get_if<std::int64_t>(&v.storage());
    if (!i) fail(c, std::string("a ") + typeName + " column takes whole numbers");
    if (*i < lo || *i > hi)
        fail(c, std::to_string(*i) + " is out of range for " + typeName + " (" +
                    std::to_string(lo) + " to " + std::to_string(hi) + ")");
    return *i;
}

bool yes(const ColumnSpec& c, const Value& v) {
    if (v.isNull()) return false;
    if (const auto* b = std::get_if<bool>(&v.storage())) return *b;
    if (const auto* i = std::get_if<std::int64_t>(&v.storage())) return *i != 0;
    fail(c, "a Yes/No column takes yes or no");
}

// Jet's compressed form of a text when every character is U+0001..U+00FF and that saves
// room: the bytes FF FE, then one byte a character. (Text with any other character stays
// plain UTF-16: readers take a 0 byte inside compressed text for a switch of mode, which a
// character like U+4E00 would hold.)
void compress(std::vector<std::uint8_t>& out, std::size_t from) {
    const std::size_t units = (out.size() - from) / 2;
    if (units <= 2) return;
    for (std::size_t i = from; i < out.size(); i += 2)
        if (out[i] == 0 || out[i + 1] != 0) return;
    std::vector<std::uint8_t> bytes(units);
    for (std::size_t k = 0; k < units; ++k) bytes[k] = out[from + 2 * k];
    out.resize(from);
    out.push_back(0xFF), out.push_back(0xFE);
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// The UTF-16LE bytes of a text value; returns the number of code units.
long textBytes(const ColumnSpec& c, const Value& v, std::vector<std::uint8_t>& out) {
    const auto* s = std::get_if<std::string>(&v.storage());
    if (!s) fail(c, "a text column takes text");
    if (s->find('\0') != std::string::npos) fail(c, "text may not contain the character U+0000");
    std::size_t before = out.size();
    long units = Utf16::append(*s, out);
    if (units < 0) fail(c, "text is not valid UTF-8");
    // Readers take a value starting with the bytes FF FE for compressed text.
    if (units > 0 && out[before] == 0xFF && out[before + 1] == 0xFE)
        fail(c, "text may not begin with U+FEFF");
    return units;
}

}  // namespace

RowEncoder::RowEncoder(std::vector<ColumnSpec> columns, bool compressText)
    : columns_(std::move(columns)), compressText_(compressText) {
    std::uint16_t number = 0;
    for (auto& c : columns_) {
        c.number = number++;
        c.fixed = c.type != JetType::Text && c.type != JetType::Memo && c.type != JetType::Ole &&
                  c.type != JetType::Binary;
        if (c.fixed) {
            c.fixedOffset = static_cast<std::uint16_t>(fixedSize_);
            c.varIndex = varCount_;
            fixedSize_ += c.size;
        } else {
            c.fixedOffset = 0;
            c.varIndex = varCount_++;
        }
    }
}

void RowEncoder::putFixed(const ColumnSpec& c, const Value& v, std::uint8_t* at) const {
    constexpr auto i32 = std::numeric_limits<std::int32_t>::min();
    switch (c.type) {
        case JetType::Byte:
            *at = static_cast<std::uint8_t>(wholeNumber(c, v, 0, 255, "Byte"));
            return;
        case JetType::Integer:
            put16(at, static_cast<std::uint16_t>(wholeNumber(c, v, -32768, 32767, "Integer")));
            return;
        case JetType::Long:
            put32(at, static_cast<std::uint32_t>(wholeNumber(c, v, i32, -(i32 + 1), "Long")));
            return;
        case JetType::Double:
            if (const auto* d = std::get_if<double>(&v.storage())) return putDouble(at, *d);
            if (const auto* i = std::get_if<std::int64_t>(&v.storage()))
                return putDouble(at, static_cast<double>(*i));
            fail(c, "a Double column takes numbers");
        case JetType::DateTime:
            if (const auto* d = std::get_if<Date>(&v.storage())) return putDouble(at, d->days);
            fail(c, "a Date/Time column takes dates");
        default:
            fail(c, "this column only takes NULL");
    }
}

void RowEncoder::putMemo(const ColumnSpec& c, const Value& v, const LongValueSink& sink,
                         std::vector<std::uint8_t>& out) const {
    std::vector<std::uint8_t> text;
    long units = textBytes(c, v, text);
    if (units > kMaxMemoUnits) fail(c, "a memo holds at most 65535 characters here");
    std::uint8_t header[kMemoHeader] = {};
    put32(header, static_cast<std::uint32_t>(text.size()));
    if (text.size() <= kInlineMemo) {
        header[3] = 0x80;
        out.insert(out.end(), header, header + kMemoHeader);
        out.insert(out.end(), text.begin(), text.end());
        return;
    }
    std::uint32_t pointer = 0;
    if (text.size() <= kChunk) {
        header[3] = 0x40;
        pointer = sink(text);
    } else {
        // A chain: each row starts with the pointer to the next one; stored last first.
        for (std::size_t end = text.size(); end > 0;) {
            std::size_t start = (end - 1) / kChunk * kChunk;
            std::vector<std::uint8_t> row(4);
            put32(row.data(), pointer);
            row.insert(row.end(), text.begin() + start, text.begin() + end);
            pointer = sink(row);
            end = start;
        }
    }
    put32(header + 4, pointer);
    out.insert(out.end(), header, header + kMemoHeader);
}

void RowEncoder::encode(std::span<const Value> values, const LongValueSink& sink,
                        std::vector<std::uint8_t>& out) const {
    if (values.size() != columns_.size())
        throw JetWriteError("a row needs " + std::to_string(columns_.size()) + " values, not " +
                            std::to_string(values.size()));
    out.assign(2 + fixedSize_, 0);
    put16(out.data(), static_cast<std::uint16_t>(columns_.size()));
    std::vector<std::uint8_t> mask((columns_.size() + 7) / 8, 0);
    std::vector<std::uint16_t> offsets(varCount_);
    auto present = [&](const ColumnSpec& c) { mask[c.number / 8] |= 1 << (c.number % 8); };
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        const ColumnSpec& c = columns_[i];
        const Value& v = values[i];
        if (c.type == JetType::Boolean) {
            if (yes(c, v)) present(c);
        } else if (c.fixed) {
            if (!v.isNull()) putFixed(c, v, &out[2 + c.fixedOffset]), present(c);
        } else {
            offsets[c.varIndex] = static_cast<std::uint16_t>(out.size());
            if (v.isNull()) continue;
            present(c);
            if (c.type == JetType::Memo) {
                putMemo(c, v, sink, out);
            } else if (c.type == JetType::Text) {
                const std::size_t from = out.size();
                if (textBytes(c, v, out) > c.size / 2)
                    fail(c, "text is longer than " + std::to_string(c.size / 2) + " characters");
                if (compressText_) compress(out, from);
            } else {
                fail(c, "this column only takes NULL");
            }
        }
        if (out.size() > kMaxRow) break;
    }
    if (varCount_ > 0) {
        std::size_t eod = out.size();
        out.resize(eod + 2 * (varCount_ + 2));
        put16(&out[eod], static_cast<std::uint16_t>(eod));
        for (std::size_t k = 0; k < varCount_; ++k)
            put16(&out[eod + 2 + 2 * k], offsets[varCount_ - 1 - k]);
        put16(&out[eod + 2 + 2 * varCount_], varCount_);
    }
    out.insert(out.end(), mask.begin(), mask.end());
    if (out.size() > kMaxRow)
        throw JetWriteError("the row is too long for a Jet page (" + std::to_string(out.size()) +
                            " bytes, at most " + std::to_string(kMaxRow) +
                            "; text takes 1 byte a character when all its characters are "
                            "U+0001 to U+00FF, else 2; a memo over 128 characters takes 12)");
}

}  // namespace dsadmin::jet
