#include "settings/IniFile.h"

#include "settings/Gbk.h"

namespace dsadmin {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

using CharLength = std::size_t (*)(std::string_view, std::size_t);

// In UTF-8 no ASCII byte is ever part of a longer character, so bytes can be taken one by one.
std::size_t SingleByte(std::string_view, std::size_t) {
    return 1;
}

CharLength LengthRule(bool utf8) {
    return utf8 ? SingleByte : GbkCharLength;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanksAndTabs(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Compares two GBK names ignoring ASCII case; both bytes of a double-byte character must be
// equal as they are.
bool SameName(std::string_view a, std::string_view b, CharLength length) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size();) {
        const std::size_t n = length(a, i);
        if (n == 2) {
            if (a.substr(i, 2) != b.substr(i, 2)) return false;
        } else if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
        i += n;
    }
    return true;
}

// The section name of a header line, or nullopt when the line is no header. The closing ']'
// is found GBK-aware, since ']' (0x5D) can be the second byte of a double-byte character.
std::optional<std::string_view> SectionName(std::string_view line, CharLength length) {
    const std::string_view t = TrimBlanksAndTabs(line);
    if (t.empty() || t.front() != '[') return std::nullopt;
    std::optional<std::size_t> close;
    for (std::size_t i = 1; i < t.size(); i += length(t, i)) {
        if (t[i] == ']') close = i;
    }
    if (!close) return std::nullopt;
    return TrimBlanksAndTabs(t.substr(1, *close - 1));
}

// Name and raw value text of a key line ('=' and blanks cannot be a GBK second byte, so a
// plain search is safe).
struct KeyLine {
    std::string_view name;
    std::string_view value;
};

std::optional<KeyLine> ParseKeyLine(std::string_view line, CharLength length) {
    const std::string_view t = TrimBlanksAndTabs(line);
    if (t.empty() || t.front() == ';' || SectionName(line, length)) return std::nullopt;
    const std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return KeyLine{TrimBlanksAndTabs(t.substr(0, eq)), TrimBlanksAndTabs(t.substr(eq + 1))};
}

std::string_view Unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

}  // namespace

IniFile IniFile::parse(std::string_view bytes) {
    IniFile file;
    if (bytes.substr(0, kUtf8Mark.size()) == kUtf8Mark) {
        file.utf8_ = true;
        bytes.remove_prefix(kUtf8Mark.size());
    }
    while (!bytes.empty()) {
        const std::size_t lf = bytes.find('\n');
        Line line;
        if (lf == std::string_view::npos) {
            line.text = std::string(bytes);
            bytes = {};
        } else {
            const bool crlf = lf > 0 && bytes[lf - 1] == '\r';
            line.text = std::string(bytes.substr(0, crlf ? lf - 1 : lf));
            line.end = crlf ? "\r\n" : "\n";
            bytes.remove_prefix(lf + 1);
        }
        file.lines_.push_back(std::move(line));
    }
    return file;
}

std::string IniFile::bytes() const {
    std::string out(utf8_ ? kUtf8Mark : std::string_view());
    for (const Line& line : lines_) out += line.text + line.end;
    return out;
}

std::optional<IniFile::Span> IniFile::findSection(std::string_view section) const {
    const CharLength length = LengthRule(utf8_);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const auto name = SectionName(lines_[i].text, length);
        if (!name || !SameName(*name, section, length)) continue;
        std::size_t end = i + 1;
        while (end < lines_.size() && !SectionName(lines_[end].text, length)) ++end;
        return Span{i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> IniFile::findKey(const Span& span, std::string_view key) const {
    const CharLength length = LengthRule(utf8_);
    for (std::size_t i = span.header + 1; i < span.end; ++i) {
        const auto line = ParseKeyLine(lines_[i].text, length);
        if (line && SameName(line->name, key, length)) return i;
    }
    return std::nullopt;
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const {
    const auto span = findSection(section);
    if (!span) return std::nullopt;
    const auto at = findKey(*span, key);
    if (!at) return std::nullopt;
    return std::string(Unquote(ParseKeyLine(lines_[*at].text, LengthRule(utf8_))->value));
}

std::string IniFile::newline() const {
    for (const Line& line : lines_) {
        if (!line.end.empty()) return line.end;
    }
    return "\r\n";
}

void IniFile::insertLine(std::size_t at, std::string text) {
    const std::string end = newline();
    if (at > 0 && lines_[at - 1].end.empty()) lines_[at - 1].end = end;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line{std::move(text), end});
}

void IniFile::setValue(std::string_view section, std::string_view key, std::string_view value) {
    const std::string keyLine = std::string(key) + "=" + std::string(value);
    const auto span = findSection(section);
    if (!span) {
        insertLine(lines_.size(), "[" + std::string(section) + "]");
        insertLine(lines_.size(), keyLine);
        return;
    }
    if (const auto at = findKey(*span, key)) {
        std::string& text = lines_[*at].text;
        text = text.substr(0, text.find('=') + 1) + std::string(value);
        return;
    }
    std::size_t last = span->end - 1;
    while (last > span->header && TrimBlanksAndTabs(lines_[last].text).empty()) --last;
    insertLine(last + 1, keyLine);
}

}  // namespace dsadmin
