#include "cli/Json.h"

#include <cstdio>

namespace dsadmin::cli {
namespace {

// The length of the valid UTF-8 sequence at text[i], or 0.
std::size_t Utf8Length(const std::string& text, std::size_t i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = b(i);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > text.size()) return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((b(i + k) & 0xC0) != 0x80) return 0;
    if (n == 2 && c < 0xC2) return 0;                       // overlong
    if (n == 3 && c == 0xE0 && b(i + 1) < 0xA0) return 0;   // overlong
    if (n == 3 && c == 0xED && b(i + 1) >= 0xA0) return 0;  // surrogate
    if (n == 4 && (c > 0xF4 || (c == 0xF0 && b(i + 1) < 0x90) || (c == 0xF4 && b(i + 1) >= 0x90)))
        return 0;
    return n;
}

void WriteString(std::string& out, const std::string& text) {
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const std::size_t n = Utf8Length(text, i);
        if (n == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out.append(text, i, n);
        }
        i += n;
    }
    out += '"';
}

void NewLine(std::string& out, int indent) {
    out += '\n';
    out.append(static_cast<std::size_t>(indent) * 2, ' ');
}

}  // namespace

Json& Json::push(Json item) {
    if (std::holds_alternative<std::monostate>(v_)) v_ = Array{};
    std::get<Array>(v_).push_back(std::move(item));
    return *this;
}

Json& Json::set(const std::string& key, Json value) {
    if (std::holds_alternative<std::monostate>(v_)) v_ = Object{};
    Object& o = std::get<Object>(v_);
    for (auto& [k, v] : o)
        if (k == key) return v = std::move(value), *this;
    o.emplace_back(key, std::move(value));
    return *this;
}

std::string Json::dump() const {
    std::string out;
    write(out, 0);
    out += '\n';
    return out;
}

void Json::write(std::string& out, int indent) const {
    if (std::holds_alternative<std::monostate>(v_)) {
        out += "null";
    } else if (const bool* b = std::get_if<bool>(&v_)) {
        out += *b ? "true" : "false";
    } else if (const std::int64_t* n = std::get_if<std::int64_t>(&v_)) {
        out += std::to_string(*n);
    } else if (const std::string* s = std::get_if<std::string>(&v_)) {
        WriteString(out, *s);
    } else if (const Array* a = std::get_if<Array>(&v_)) {
        if (a->empty()) return void(out += "[]");
        out += '[';
        for (std::size_t i = 0; i < a->size(); ++i) {
            if (i) out += ',';
            NewLine(out, indent + 1);
            (*a)[i].write(out, indent + 1);
        }
        NewLine(out, indent);
        out += ']';
    } else {
        const Object& o = std::get<Object>(v_);
        if (o.empty()) return void(out += "{}");
        out += '{';
        for (std::size_t i = 0; i < o.size(); ++i) {
            if (i) out += ',';
            NewLine(out, indent + 1);
            WriteString(out, o[i].first);
            out += ": ";
            o[i].second.write(out, indent + 1);
        }
        NewLine(out, indent);
        out += '}';
    }
}

}  // namespace dsadmin::cli
