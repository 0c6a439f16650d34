#include "settings/DBSet.h"

#include <filesystem>
#include <system_error>

#include "base/AsciiText.h"
#include "settings/PrivateProfile.h"
#include "settings/Val.h"

namespace dsadmin {

std::string AppFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return exe.parent_path().string();
}

std::string MakeSetupPath(const std::string& folder) {
    if (!folder.empty() && folder.back() == '/') return folder + kSetupFileName;
    return folder + "/" + kSetupFileName;
}

LoadedDBSet LoadDBSet(const std::string& setupPath) {
    const auto read = [&](const char* section, const char* key) {
        return ReadIniString(setupPath, section, key, "");
    };
    LoadedDBSet set;
    set.databaseType = kDefaultLibrary;
    set.server = kDefaultDataSource;
    set.login = Trim(read("DataBase", "UserName"));
    set.password = Trim(read("DataBase", "PassWord"));
    set.databaseName = Trim(read("DataBase", "DBName"));
    if (set.login.empty()) set.login = kDefaultUserName;
    if (set.databaseName.empty()) set.databaseName = kDefaultDBName;
    set.superUser = Val(read("Setup", "SupperUser")) == 1.0;
    return set;
}

void SaveDBSet(const SavedDBSet& fields, const std::string& setupPath) {
    WriteIniStrings(setupPath, "DataBase",
                    {{"Library", Trim(fields.databaseType)},
                     {"DataSource", Trim(fields.server)},
                     {"UserName", Trim(fields.login)},
                     {"PassWord", Trim(fields.password)},
                     {"LongTime", "10"},
                     {"DBName", Trim(fields.databaseName)}});
}

}  // namespace dsadmin
