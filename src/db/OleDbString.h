#pragma once
// The OLE DB connection-string grammar: keyword=value pairs separated by ';'. Blanks around
// keywords and unquoted values are ignored, keywords compare without regard to case, "=="
// inside a keyword stands for '=', a value may be quoted with " or ' (the quote doubled
// inside), and the last of repeated keywords wins. Text is UTF-8 throughout.

#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace dsadmin {

class OleDbString {
  public:
    // Parses text. Throws DbError when a quoted value is not closed or is followed by
    // anything but blanks before the next ';'. The description never repeats the text.
    static OleDbString Parse(const std::string& text);

    // The value of keyword (any case), or nullopt when the string does not name it.
    std::optional<std::string> get(const std::string& keyword) const;
    // The value of the first of several keywords (aliases) that the string names.
    std::optional<std::string> get(std::initializer_list<const char*> keywords) const;
    // Sets keyword (any case) to value, replacing an earlier value.
    void set(const std::string& keyword, const std::string& value);
    // Removes keyword (any case) when present.
    void erase(const std::string& keyword);
    // The pairs in order of first appearance; keywords as written at their last appearance.
    const std::vector<std::pair<std::string, std::string>>& pairs() const { return pairs_; }

    // Returns value as the grammar needs it to read back unchanged: as it stands when it
    // needs no quotes (the common case), else quoted with " (or ' when it holds " but not ')
    // and that quote doubled inside. Needs quotes: a ';', a leading quote or '=' ("pwd==x"
    // reads as the keyword "pwd=x"), outer blanks.
    static std::string QuoteValue(const std::string& value);

  private:
    std::vector<std::pair<std::string, std::string>> pairs_;
};

}  // namespace dsadmin
