#pragma once
// The two connection strings the runs open: the server's (provider "SQLOLEDB", set as the
// connection's Provider) and the structure file's (built by GetCnnStr). Text is UTF-8.

#include <functional>
#include <string>

namespace dsadmin {

inline constexpr const char* kServerProvider = "SQLOLEDB";
inline constexpr const char* kJetProvider = "Microsoft.Jet.OLEDB.4.0";

// "User Id =" login ";pwd=" password ";data source=" server ";initial Catalog=master", each
// value trimmed (Trim). A value goes in as it stands unless the connection-string grammar would
// read it otherwise (a ';', a leading quote, outer tabs): then it is quoted, so a password such as
// a;b"c reaches the server intact instead of ending at the ';'.
std::string ServerConnectionString(const std::string& login, const std::string& password,
                                   const std::string& server);
// The same with the password exactly as given (the command line reads it from a file, the
// environment or a prompt, where blanks at either end belong to it).
std::string ServerConnectionStringKeepingPassword(const std::string& login,
                                                  const std::string& password,
                                                  const std::string& server);

// Where the server connection for `server` (the server box's text) goes, as the operator's
// messages name it: "127.0.0.1:1433" for "(local)", with TDSPORT's port when that is set; the
// trimmed text itself when it names no valid port (the connection then says why).
std::string ServerAddressOf(const std::string& server);

// The structure file's path: appFolder, "/" unless appFolder ends in "/", the trimmed dsName,
// and ".DS" unless the name's last three characters are exactly ".DS" (case-sensitive; a
// name shorter than three characters is compared whole, so never matches).
std::string StructureFilePath(const std::string& appFolder, const std::string& dsName);

// Reads one settings value: (file path, section, key, default) -> value.
using IniReader = std::function<std::string(const std::string&, const std::string&,
                                            const std::string&, const std::string&)>;

// "Provider=Microsoft.Jet.OLEDB.4.0;Data source=" + path, the path quoted only when the grammar
// needs it (a ';' in a folder name).
std::string StructureConnectionString(const std::string& path);

// "Provider=Microsoft.Jet.OLEDB.4.0;Data source=" + the structure file's path, the name being
// key DSName of section DataBase in the settings file at setupPath, read through readIni
// with the empty default at every call. The path is quoted only when the grammar needs it
// (a ';' in a folder name). Never fails.
std::string GetCnnStr(const std::string& appFolder, const std::string& setupPath,
                      const IniReader& readIni);

}  // namespace dsadmin
