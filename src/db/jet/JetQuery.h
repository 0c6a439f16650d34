#pragma once
// The queries the Jet provider answers, parsed from their text:
//   SELECT [DISTINCT] column {, column} | * FROM table [WHERE column = 'text'] [;]
// Keywords in any case; names plain or in [brackets]; text literals in '...' or "..." with
// the quote doubled inside. Anything else is refused. Text is UTF-8.

#include <optional>
#include <string>
#include <vector>

namespace dsadmin {

struct JetQuery {
    bool distinct = false;
    std::vector<std::string> columns;  // empty for *
    std::string table;
    struct Condition {
        std::string column;
        std::string text;
    };
    std::optional<Condition> where;

    // Parses text. Throws DbError "查询语法错误：“<token>”处<what>。" (or "查询末尾<what>。")
    // for anything outside the form above, and for a text literal left open.
    static JetQuery Parse(const std::string& text);
};

}  // namespace dsadmin
