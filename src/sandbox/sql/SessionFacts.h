#pragma once
// What a statement may ask about the session that runs it.

#include <map>
#include <string>
#include <utility>

#include "sandbox/Engine.h"

namespace sandbox::sql {

struct SessionFacts {
    std::string database;  // current database, as the catalog spells it
    std::string user;      // login name as the client sent it
    int spid = 51;
    // The current batch's variables by name (with '@', upper case): type and value.
    std::map<std::string, std::pair<ColumnType, Cell>> variables;
};

}  // namespace sandbox::sql
