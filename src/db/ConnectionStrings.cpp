#include "db/ConnectionStrings.h"

#include "base/AsciiText.h"
#include "db/DbError.h"
#include "db/OleDbString.h"
#include "db/odbc/OdbcConnectionString.h"

namespace dsadmin {

std::string ServerConnectionString(const std::string& login, const std::string& password,
                                   const std::string& server) {
    return "User Id =" + OleDbString::QuoteValue(Trim(login)) +
           ";pwd=" + OleDbString::QuoteValue(Trim(password)) +
           ";data source=" + OleDbString::QuoteValue(Trim(server)) + ";initial Catalog=master";
}

std::string ServerConnectionStringKeepingPassword(const std::string& login,
                                                  const std::string& password,
                                                  const std::string& server) {
    return "User Id =" + OleDbString::QuoteValue(Trim(login)) +
           ";pwd=" + OleDbString::QuoteValue(password) +
           ";data source=" + OleDbString::QuoteValue(Trim(server)) + ";initial Catalog=master";
}

std::string ServerAddressOf(const std::string& server) {
    try {
        return ServerAddressText(WithFreetdsPort(ParseDataSource(server)));
    } catch (const DbError&) {
        return Trim(server);
    }
}

std::string StructureFilePath(const std::string& appFolder, const std::string& dsName) {
    std::string name = Trim(dsName);
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

}  // namespace dsadmin
