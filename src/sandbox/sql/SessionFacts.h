#pragma once
// What a statement may ask about the session that runs it.

#include <string>

namespace sandbox::sql {

struct SessionFacts {
    std::string database;  // current database, as the catalog spells it
    std::string user;      // login name as the client sent it
    int spid = 51;
};

}  // namespace sandbox::sql
