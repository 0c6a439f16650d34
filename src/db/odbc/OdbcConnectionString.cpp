#include "db/odbc/OdbcConnectionString.h"

#include <charconv>

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

std::string ToOdbcConnectionString(const OleDbString& properties, const std::string& driverName) {
    ServerAddress a = ParseDataSource(
        properties.get({"Data Source", "Server", "Address", "Addr", "Network Address"})
            .value_or(""));
    std::string server = a.instance.empty() ? a.host : a.host + "\\" + a.instance;
    std::string out = "Driver=" + OdbcQuote(driverName, "驱动程序名") +
                      ";Server=" + OdbcQuote(server, "服务器名");
    if (a.port != 0) out += ";Port=" + std::to_string(a.port);
    out += ";UID=" + OdbcQuote(properties.get({"User ID", "UID", "User"}).value_or(""), "登录账号");
    out += ";PWD=" + OdbcQuote(properties.get({"Password", "PWD"}).value_or(""), "密码");
    if (auto db = properties.get({"Initial Catalog", "Database"}); db && !db->empty())
        out += ";Database=" + OdbcQuote(*db, "数据库名");
    out += ";TDS_Version=7.4;ClientCharset=UTF-8";
    return out;
}

}  // namespace dsadmin
