#pragma once
// The connection settings the window keeps in "Setup.ini": what the load step reads into the
// boxes (LoadDBSet) and what the create and modify runs store from them (SaveDBSet). No Qt;
// all text UTF-8.

#include <string>

namespace dsadmin {

// What a create or modify run stores, untrimmed, as the operator typed it (SaveDBSet trims).
struct SavedDBSet {
    std::string databaseType;  // "SQL Server"
    std::string server;        // server name, e.g. "(local)"
    std::string login;         // login account
    std::string password;      // login password
    std::string databaseName;  // database name
};

// What the load step puts into the window.
struct LoadedDBSet {
    std::string databaseType;  // always "SQL Server"
    std::string server;        // always "(local)"
    std::string login;         // UserName, trimmed; "sa" when empty
    std::string password;      // PassWord, trimmed; no default
    std::string databaseName;  // DBName, trimmed; "VK4812" when empty
    bool superUser{};          // Val(SupperUser) is exactly 1: the delete button shows
};

inline constexpr const char* kSetupFileName = "Setup.ini";
inline constexpr const char* kDefaultLibrary = "SQL Server";
inline constexpr const char* kDefaultDataSource = "(local)";
inline constexpr const char* kDefaultUserName = "sa";
inline constexpr const char* kDefaultDBName = "VK4812";

// The folder that holds the running executable (from /proc/self/exe), without a trailing "/"
// except for the root "/"; empty if the platform does not tell.
std::string AppFolder();

// The settings file in `folder`: folder, "/" unless it already ends in "/", "Setup.ini".
std::string MakeSetupPath(const std::string& folder);

// Reads UserName, PassWord and DBName of [DataBase] and SupperUser of [Setup] from the file at
// `setupPath` and applies the defaults. Writes nothing; never throws for a missing or bad file.
LoadedDBSet LoadDBSet(const std::string& setupPath);

// Writes Library, DataSource, UserName, PassWord (databaseType, server, login, password, each
// trimmed), LongTime ("10") and DBName of [DataBase] into the file at `setupPath`, in that
// order, in one locked write (see WriteIniStrings). Tests nothing and reports nothing.
void SaveDBSet(const SavedDBSet& fields, const std::string& setupPath);

}  // namespace dsadmin
