#pragma once
// The connection settings the window keeps in "Setup.ini": what the load step reads into the
// boxes (LoadDBSet) and what the create and modify runs store from them (SaveDBSet). No Qt;
// all text UTF-8.

#include <string>
#include <string_view>

namespace dsadmin {

// The current texts of the window's boxes, untrimmed, as the operator sees them.
struct BoxTexts {
    std::string combo1;  // database type
    std::string text1;   // server name
    std::string text2;   // login account
    std::string text3;   // login password
    std::string text4;   // database name
    std::string text5;   // save folder (never stored)
};

// What the load step puts into the window.
struct LoadedDBSet {
    std::string combo1;      // always "SQL Server"
    std::string text1;       // always "(local)"
    std::string text2;       // UserName, trimmed; "sa" when empty
    std::string text3;       // PassWord, trimmed; no default
    std::string text4;       // DBName, trimmed; "VK4812" when empty
    bool command3Visible{};  // Val(SupperUser) is exactly 1
};

inline constexpr const char* kSetupFileName = "Setup.ini";
inline constexpr const char* kDefaultLibrary = "SQL Server";
inline constexpr const char* kDefaultDataSource = "(local)";
inline constexpr const char* kDefaultUserName = "sa";
inline constexpr const char* kDefaultDBName = "VK4812";

// Leading and trailing blanks (character 32) removed; tabs and inner blanks stay.
std::string Trim(std::string_view text);

// The folder that holds the running executable (from /proc/self/exe), without a trailing "/"
// except for the root "/"; empty if the platform does not tell.
std::string AppFolder();

// The settings file in `folder`: folder, "/" unless it already ends in "/", "Setup.ini".
std::string MakeSetupPath(const std::string& folder);

// Reads UserName, PassWord and DBName of [DataBase] and SupperUser of [Setup] from the file at
// `setupPath` and applies the defaults. Writes nothing; never throws for a missing or bad file.
LoadedDBSet LoadDBSet(const std::string& setupPath);

// Writes Library, DataSource, UserName, PassWord (boxes combo1, text1..text4, each trimmed),
// LongTime ("10") and DBName of [DataBase] into the file at `setupPath`, in that order, in one
// locked write (see WriteIniStrings). Tests nothing and reports nothing.
void SaveDBSet(const BoxTexts& boxes, const std::string& setupPath);

}  // namespace dsadmin
