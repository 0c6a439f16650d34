#include "db/odbc/OdbcConnectionString.h"

#include <charconv>
#include <cstdlib>
#include <iterator>

#include "base/AsciiText.h"
#include "db/DbError.h"

namespace dsadmin {
namespace {

// Blanks around the parts of a data source; line breaks are not among them.
std::string trimBlanks(std::string_view s) {
    return TrimAny(s, " \t");
}

bool isLocalName(const std::string& host) {
    std::string h = AsciiLower(host);
    return h == "(local)" || h == "." || h == "localhost" || h.empty();
}

int parsePort(const std::string& text) {
    std::string t = trimBlanks(text);
    int port = 0;
    auto r = std::from_chars(t.data(), t.data() + t.size(), port);
    if (t.empty() || r.ec != std::errc() || r.ptr != t.data() + t.size() || port < 1 ||
        port > 65535)
        throw DbError("服务器名中的端口号“" + t + "”无效：应为 1 到 65535 之间的数字。");
    return port;
}

}  // namespace

ServerAddress ParseDataSource(const std::string& dataSource) {
    std::string s = trimBlanks(dataSource);
    if (AsciiLower(s.substr(0, 4)) == "tcp:") s = trimBlanks(s.substr(4));
    ServerAddress a;
    std::size_t comma = s.find(',');
    if (comma != std::string::npos) {
        a.port = parsePort(s.substr(comma + 1));
        s = trimBlanks(s.substr(0, comma));
    }
    std::size_t slash = s.find('\\');
    if (slash != std::string::npos) {
        if (a.port == 0) a.instance = trimBlanks(s.substr(slash + 1));
        s = trimBlanks(s.substr(0, slash));
    }
    a.host = s;
    if (isLocalName(a.host)) {
        a.host = "127.0.0.1";
        if (a.port == 0 && a.instance.empty()) a.port = 1433;
    }
    return a;
}

ServerAddress WithFreetdsPort(ServerAddress address) {
    if (const char* port = std::getenv("TDSPORT"); port && std::atoi(port) > 0)
        address.port = std::atoi(port);
    return address;
}

std::string ServerAddressText(const ServerAddress& a) {
    if (a.port != 0) return a.host + ":" + std::to_string(a.port);
    if (!a.instance.empty()) return a.host + "\\" + a.instance;
    return a.host;
}

std::string OdbcQuote(const std::string& value, const char* keyword) {
    if (value.find("};") != std::string::npos)
        throw DbError(std::string(keyword) + "中含有字符“};”，ODBC 驱动程序无法接收。");
    return "{" + value + "}";
}

bool OdbcClientOptions::checksCertificate() const {
    return !freetdsCaFile().empty();
}

std::string OdbcClientOptions::freetdsCaFile() const {
    if (trustServerCertificate) return {};
    if (!caFile.empty()) return caFile;
    const bool demanded =
        encryption == OdbcEncryption::Mandatory || encryption == OdbcEncryption::Strict;
    return demanded ? "system" : "";
}

namespace {

// FreeTDS's word for each OdbcEncryption; none for DriverDefault (the driver's own setting).
const char* encryptionKeyword(OdbcEncryption e) {
    static constexpr const char* kKeywords[] = {nullptr, "off", "request", "require", "strict"};
    static_assert(std::size(kKeywords) == static_cast<std::size_t>(OdbcEncryption::Strict) + 1);
    return kKeywords[static_cast<std::size_t>(e)];
}

// freetds.conf has no quoting: a value ends at the line's end.
std::string confValue(const std::string& value, const char* what) {
    if (value.find_first_of("\r\n") != std::string::npos)
        throw DbError(std::string(what) + "中含有换行符，无法写入 FreeTDS 的设置文件。");
    return value;
}

}  // namespace

void ApplySiteEncryption(OdbcEncryption& encryption, std::string& caFile,
                         const std::string& siteEncryption, const std::string& siteCaFile) {
    const std::string e = AsciiLower(TrimAny(siteEncryption, " \t"));
    if (encryption == OdbcEncryption::DriverDefault) {
        if (e == "off") encryption = OdbcEncryption::Off;
        if (e == "request") encryption = OdbcEncryption::Optional;
        if (e == "require") encryption = OdbcEncryption::Mandatory;
        if (e == "strict") encryption = OdbcEncryption::Strict;
    }
    if (caFile.empty()) caFile = TrimAny(siteCaFile, " \t");
}

std::string FreetdsConfText(const std::string& section, const ServerAddress& a,
                            const OdbcClientOptions& client, bool checkHostName) {
    std::string out =
        "[global]\n[" + section + "]\n\thost = " + confValue(a.host, "服务器名") + "\n";
    if (a.port != 0) out += "\tport = " + std::to_string(a.port) + "\n";
    if (!a.instance.empty()) out += "\tinstance = " + confValue(a.instance, "服务器名") + "\n";
    if (const char* e = encryptionKeyword(client.encryption))
        out += std::string("\tencryption = ") + e + "\n";
    if (client.checksCertificate())
        out += "\tca file = " + confValue(client.freetdsCaFile(), "CA 证书文件名") +
               "\n\tcheck certificate hostname = " + (checkHostName ? "yes" : "no") + "\n";
    return out;
}

std::string ToOdbcConnectionString(const OleDbString& properties, const std::string& driverName,
                                   const OdbcClientOptions& client,
                                   const std::string& confSection) {
    ServerAddress a = ParseDataSource(
        properties.get({"Data Source", "Server", "Address", "Addr", "Network Address"})
            .value_or(""));
    std::string server = a.instance.empty() ? a.host : a.host + "\\" + a.instance;
    std::string out = "Driver=" + OdbcQuote(driverName, "驱动程序名");
    if (!confSection.empty()) {
        out += ";Servername=" + OdbcQuote(confSection, "配置节名");
    } else {
        out += ";Server=" + OdbcQuote(server, "服务器名");
        if (a.port != 0) out += ";Port=" + std::to_string(a.port);
    }
    out += ";UID=" + OdbcQuote(properties.get({"User ID", "UID", "User"}).value_or(""), "登录账号");
    out += ";PWD=" + OdbcQuote(properties.get({"Password", "PWD"}).value_or(""), "密码");
    if (auto db = properties.get({"Initial Catalog", "Database"}); db && !db->empty())
        out += ";Database=" + OdbcQuote(*db, "数据库名");
    // Not last: FreeTDS keeps the closing brace of a braced value that ends the string.
    if (!client.applicationName.empty())
        out += ";APP=" + OdbcQuote(client.applicationName, "应用程序名");
    out += ";TDS_Version=7.4;ClientCharset=UTF-8";
    if (const char* e = encryptionKeyword(client.encryption))
        out += std::string(";Encryption=") + e;
    return out;
}

}  // namespace dsadmin
