#pragma once
// A private-profile (INI) file held in memory as its bytes, with the lookup and update rules of
// the Windows private-profile functions. A plain value: parse it from a byte buffer, ask it,
// change it, take its bytes back; no file access here.
//
// Every string this class takes or returns is in the file's encoding: GBK, or UTF-8 when the
// file starts with a UTF-8 byte-order mark (an editor's "UTF-8 with BOM"). GBK names are
// compared GBK-aware, so a double-byte character's second byte is never case-folded.
//
// Rules:
// - A line whose first non-blank character is '[' and that holds a later ']' starts a section;
//   the name is the text between '[' and the last ']', blanks and tabs trimmed.
// - A line whose first non-blank character is ';' is a comment and never a key.
// - Any other line with '=' is a key line: the name is the text before the first '=', the value
//   the text after it, both with blanks and tabs trimmed. Other lines are kept and ignored.
// - Section and key names match without regard to ASCII letter case; the first matching
//   section, and in it the first matching key, is the one read and written.
// - Lines end in CR LF or LF; a line ending is never part of a name or value.
// - A leading byte-order mark (EF BB BF) belongs to no line; it is kept in bytes().

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dsadmin {

class IniFile {
  public:
    IniFile() = default;
    // Takes the file's bytes as they are; any bytes are accepted.
    static IniFile parse(std::string_view bytes);

    // Whether the file is UTF-8: it starts with the byte-order mark. Otherwise it is GBK.
    bool utf8() const { return utf8_; }

    // The file's bytes: byte for byte what was parsed, plus the changes made by setValue.
    std::string bytes() const;

    // The key's value, trimmed, with one pair of matching surrounding quotes (" or ')
    // removed; nullopt when the section or the key does not exist.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    // Sets the key's value; `value` must not hold CR or LF (the caller replaces them).
    // An existing key keeps its line up to and including '=' and gets the new value after it;
    // a new key goes on a new line after the last non-blank line of its section; a new
    // section goes to the end of the file. New lines end like the file's first line (CR LF
    // for an empty file). Every other byte stays as it was.
    void setValue(std::string_view section, std::string_view key, std::string_view value);

  private:
    struct Line {
        std::string text;  // without its line ending
        std::string end;   // "\r\n", "\n", or "" for a last line without one
    };
    struct Span {
        std::size_t header;  // index of the section's header line
        std::size_t end;     // one past its last line
    };

    std::optional<Span> findSection(std::string_view section) const;
    std::optional<std::size_t> findKey(const Span& span, std::string_view key) const;
    std::string newline() const;
    void insertLine(std::size_t at, std::string text);

    std::vector<Line> lines_;
    bool utf8_ = false;
};

}  // namespace dsadmin
