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
        throw DbError("Invalid port number '" + t + "' in the data source.");
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

std::string OdbcQuote(const std::string& value, const char* keyword) {
    if (value.find("};") != std::string::npos)
        throw DbError(std::string("The ") + keyword +
                      " holds the characters \"};\", which the ODBC driver cannot receive.");
    return "{" + value + "}";
}

std::string ToOdbcConnectionString(const OleDbString& properties, const std::string& driverName) {
    ServerAddress a = ParseDataSource(
        properties.get({"Data Source", "Server", "Address", "Addr", "Network Address"})
            .value_or(""));
    std::string server = a.instance.empty() ? a.host : a.host + "\\" + a.instance;
    std::string out =
        "Driver=" + OdbcQuote(driverName, "driver") + ";Server=" + OdbcQuote(server, "data source");
    if (a.port != 0) out += ";Port=" + std::to_string(a.port);
    out += ";UID=" + OdbcQuote(properties.get({"User ID", "UID", "User"}).value_or(""), "login");
    out += ";PWD=" + OdbcQuote(properties.get({"Password", "PWD"}).value_or(""), "password");
    if (auto db = properties.get({"Initial Catalog", "Database"}); db && !db->empty())
        out += ";Database=" + OdbcQuote(*db, "initial catalog");
    out += ";TDS_Version=7.4;ClientCharset=UTF-8";
    return out;
}

}  // namespace dsadmin
