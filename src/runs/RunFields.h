#pragma once
// What a run is given to work with, untrimmed, as the operator typed it. The window maps its
// boxes to it in one place; any other caller fills it directly. Text is UTF-8.

#include <string>

#include "settings/DBSet.h"

namespace dsadmin {

struct RunFields {
    std::string databaseType;  // "SQL Server"
    std::string server;        // server name, e.g. "(local)"
    std::string login;         // login account
    std::string password;      // login password
    std::string databaseName;  // database name
    std::string saveFolder;    // folder for the data file (create only; never stored)
};

// What a create or modify run stores of them (all but saveFolder), for SaveDBSet.
inline SavedDBSet StoredFields(const RunFields& f) {
    return {f.databaseType, f.server, f.login, f.password, f.databaseName};
}

}  // namespace dsadmin
