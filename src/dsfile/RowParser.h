#pragma once
// Turns the lines of dsfile's tab-separated text (see TsvCell.h, HeaderCell.h) into
// column definitions and rows of values.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/Value.h"
#include "jetwriter/JetSchema.h"

namespace dsadmin {

class RowParser {
  public:
    // Parses the header line. On failure returns nothing and sets `error`.
    static std::optional<std::vector<jet::ColumnDef>> header(std::string_view line,
                                                             std::string& error);

    // Parses a data line for `columns`: \N is Null; Text and Memo cells are unescaped;
    // Long, Integer, Byte take a whole decimal number; Double a decimal number; Yes/No one
    // of 1 0 -1 true false yes no (letter case ignored); Date/Time a date (DateText.h).
    // Range checks are the writer's. On failure returns nothing and sets `error`.
    static std::optional<std::vector<Value>> row(std::string_view line,
                                                 const std::vector<jet::ColumnDef>& columns,
                                                 std::string& error);
};

}  // namespace dsadmin
