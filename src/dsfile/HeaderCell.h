#pragma once
// A header cell of dsfile's tab-separated text: a column name, optionally followed by ":"
// and a type. Without a type the name must be one of the default columns of `ds`:
//
//   ftable text(64)   fname text(64)   flb text(64)   flong long   fauto long   findex long
//
// Types (letter case ignored): text(n) with n = 1..255, text (= text(255)), long, integer,
// byte, double, yesno, datetime, memo. dump also shows the types the writer cannot make:
// money, single, binary, ole, guid, numeric, unknown.

#include <optional>
#include <string>
#include <string_view>

#include "db/jet/JetReader.h"
#include "jetwriter/JetSchema.h"

namespace dsadmin {

class HeaderCell {
  public:
    // The header cell dump writes for `column`: the bare name when the column is the
    // default column of that name, "name:type" otherwise.
    static std::string format(const JetColumn& column);

    // Parses a header cell (already unescaped). On failure returns nothing and sets `error`
    // to a sentence describing the problem.
    static std::optional<jet::ColumnDef> parse(std::string_view cell, std::string& error);

    // The type as written after ":" ("text(64)", "long", ...).
    static std::string typeName(const jet::ColumnDef& column);
};

}  // namespace dsadmin
