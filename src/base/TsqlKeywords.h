#pragma once
// T-SQL's reserved keywords, as SQL Server lists them: unquoted, none of them may name a
// database, a table or a column. One list for dsadmin-cli's checks of a structure file and for
// the sandbox's parser, which refuses them where SQL Server does.

#include <string_view>

namespace dsadmin {

// True when `word` is one of them, in any ASCII case.
bool IsTsqlReservedWord(std::string_view word);

}  // namespace dsadmin
