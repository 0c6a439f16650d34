#include "db/ConnectionStrings.h"

#include "db/OleDbString.h"
#include "settings/PrivateProfile.h"

namespace dsadmin {

std::string TrimSpaces(const std::string& text) {
    std::size_t b = text.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    std::size_t e = text.find_last_not_of(' ');
    return text.substr(b, e - b + 1);
}

std::string ServerConnectionString(const std::string& login, const std::string& password,
                                   const std::string& server) {
    return "User Id =" + OleDbString::QuoteValue(TrimSpaces(login)) +
           ";pwd=" + OleDbString::QuoteValue(TrimSpaces(password)) +
           ";data source=" + OleDbString::QuoteValue(TrimSpaces(server)) +
           ";initial Catalog=master";
}

std::string StructureFilePath(const std::string& appFolder, const std::string& dsName) {
    std::string name = TrimSpaces(dsName);
    std::string path = appFolder;
    if (path.empty() || path.back() != '/') path += '/';
    path += name;
    if (name.size() < 3 || name.compare(name.size() - 3, 3, ".DS") != 0) path += ".DS";
    return path;
}

std::string GetCnnStr(const std::string& appFolder, const std::string& setupPath,
                      const IniReader& readIni) {
    std::string dsName = readIni(setupPath, "DataBase", "DSName", "");
    return StructureConnectionString(StructureFilePath(appFolder, dsName));
}

std::string StructureConnectionString(const std::string& path) {
    return std::string("Provider=") + kJetProvider +
           ";Data source=" + OleDbString::QuoteValue(path);
}

std::string GetCnnStr(const std::string& appFolder, const std::string& setupPath) {
    return GetCnnStr(appFolder, setupPath, ReadIniString);
}

}  // namespace dsadmin
