#include "db/odbc/OdbcDiagnostics.h"

#include <sqlext.h>
#include <sqlucode.h>

#include <array>
#include <string>

#include "db/odbc/OdbcText.h"

namespace dsadmin {

std::string StripDriverPrefixes(const std::string& text) {
    static const std::array<const char*, 5> kTags = {"[unixODBC]", "[FreeTDS]", "[SQL Server]",
                                                     "[Driver Manager]", "[ODBC]"};
    std::string s = text;
    for (bool again = true; again;) {
        again = false;
        for (const char* tag : kTags) {
            std::string t(tag);
            if (s.compare(0, t.size(), t) == 0) {
                s.erase(0, t.size());
                again = true;
            }
        }
    }
    return s;
}

std::vector<ServerMessage> ReadDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
    std::vector<ServerMessage> out;
    for (SQLSMALLINT i = 1;; ++i) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SqlWideString text(1024, 0);
        SQLRETURN rc = SQLGetDiagRecW(handleType, handle, i, state, &native, text.data(),
                                      static_cast<SQLSMALLINT>(text.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(text.size())) {
            text.assign(static_cast<std::size_t>(length) + 1, 0);  // text was cut: read again
            rc = SQLGetDiagRecW(handleType, handle, i, state, &native, text.data(),
                                static_cast<SQLSMALLINT>(text.size()), &length);
        }
        if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) break;  // SQL_NO_DATA ends it
        text.resize(std::min<std::size_t>(static_cast<std::size_t>(length), text.size() - 1));
        ServerMessage m;
        m.number = native;
        m.sqlState = FromSqlWide(state, SqlWideLength(state, 5));
        m.text = StripDriverPrefixes(FromSqlWide(text.data(), text.size()));
        out.push_back(std::move(m));
    }
    return out;
}

DbError MakeDbError(std::vector<ServerMessage> messages, const std::string& fallback) {
    const ServerMessage* chosen = nullptr;
    for (const auto& m : messages) {
        bool warning = m.sqlState.rfind("01", 0) == 0;
        if (warning) continue;
        if (m.number != 0) {
            chosen = &m;
            break;
        }
        if (!chosen) chosen = &m;
    }
    if (!chosen && !messages.empty()) chosen = &messages.front();
    if (!chosen) return DbError(fallback, {}, 0, std::move(messages));
    std::string text = chosen->text, state = chosen->sqlState;
    int number = chosen->number;
    return DbError(text, state, number, std::move(messages));
}

DbError MakeConnectionLostError(std::vector<ServerMessage> messages) {
    std::string text = kConnectionLostText;
    const DbError driver = MakeDbError(messages, "");
    if (*driver.what() != '\0') text += std::string("驱动程序报告：") + driver.what();
    return DbError(text, "08S01", driver.number(), std::move(messages));
}

bool ReportsLinkFailure(const std::vector<ServerMessage>& messages) {
    for (const auto& m : messages)
        if (m.sqlState == "08S01") return true;
    return false;
}

bool ReportsTimeout(const std::vector<ServerMessage>& messages) {
    for (const auto& m : messages)
        if (m.sqlState == "HYT00") return true;
    return false;
}

DbError MakeConnectError(std::vector<ServerMessage> messages, const std::string& address,
                         int timeoutSeconds) {
    const std::string prefix = "无法连接到 " + address + " 上的数据库服务器：";
    if (ReportsTimeout(messages)) {
        std::string text =
            prefix + "等待 " + std::to_string(timeoutSeconds) + " 秒仍没有应答（连接超时）。";
        return DbError(text, "HYT00", 0, std::move(messages));
    }
    DbError chosen = MakeDbError(messages, "");
    // A record the driver made itself (link, time-out) means no server took part; a record
    // with the server's number (a refused login) speaks for itself.
    const bool fromDriver = chosen.sqlState().rfind("08", 0) == 0 || *chosen.what() == '\0';
    if (!fromDriver) return chosen;
    std::string text =
        prefix + (*chosen.what() == '\0' ? std::string("驱动程序没有给出原因。")
                                         : "驱动程序报告“" + std::string(chosen.what()) + "”。");
    return DbError(text, chosen.sqlState(), chosen.number(), std::move(messages));
}

DbError MakeCommandTimeoutError(std::vector<ServerMessage> messages, const std::string& address,
                                int limitSeconds, double waitedSeconds) {
    std::string text = "数据库服务器 " + address + " 在 " + std::to_string(limitSeconds) +
                       " 秒内没有应答（命令超时），共等待 " +
                       std::to_string(static_cast<long>(waitedSeconds + 0.5)) + " 秒。";
    return DbError(text, "HYT00", 0, std::move(messages));
}

}  // namespace dsadmin
