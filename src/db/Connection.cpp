#include "db/Connection.h"

#include "db/DbError.h"
#include "db/OleDbString.h"
#include "db/ProviderSession.h"
#include "db/Providers.h"

namespace dsadmin {
namespace {
const char* kIsOpen = "对象打开时，不允许操作。";
const char* kIsClosed = "对象关闭时，不允许操作。";
const char* kBadTimeout = "超时秒数不能为负数。";
}  // namespace

Connection::Connection() = default;
Connection::Connection(Connection&&) noexcept = default;

Connection& Connection::operator=(Connection&& other) noexcept {
    if (this != &other) {
        if (session_) {
            try {
                session_->close();
            } catch (...) {  // a release never fails
            }
        }
        provider_ = std::move(other.provider_);
        connectionString_ = std::move(other.connectionString_);
        options_ = std::move(other.options_);
        session_ = std::move(other.session_);
    }
    return *this;
}

Connection::~Connection() {
    if (!session_) return;
    try {
        session_->close();
    } catch (...) {  // released on an error path: the first failure is the one reported
    }
}

void Connection::Provider(const std::string& name) {
    if (session_) throw DbError(kIsOpen);
    provider_ = name;
}

void Connection::ConnectionString(const std::string& text) {
    if (session_) throw DbError(kIsOpen);
    connectionString_ = text;
}

void Connection::ConnectionTimeout(int seconds) {
    if (session_) throw DbError(kIsOpen);
    if (seconds < 0) throw DbError(kBadTimeout);
    options_.connectTimeout = seconds;
}

void Connection::CommandTimeout(int seconds) {
    if (seconds < 0) throw DbError(kBadTimeout);
    options_.commandTimeout = seconds;
    if (session_) session_->setCommandTimeout(seconds);
}

void Connection::WhileWaiting(std::function<void()> callback) {
    if (session_) throw DbError(kIsOpen);
    options_.whileWaiting = std::move(callback);
}

void Connection::Open(const std::string& connectionString, const std::string& userId,
                      const std::string& password, int /*options*/) {
    if (session_) throw DbError(kIsOpen);
    if (!connectionString.empty()) connectionString_ = connectionString;
    OleDbString properties = OleDbString::Parse(connectionString_);
    if (auto named = properties.get("Provider")) provider_ = *named;
    properties.erase("Provider");
    if (!userId.empty()) properties.set("User ID", userId);
    if (!password.empty()) properties.set("Password", password);
    session_ = OpenProviderSession(provider_, properties, options_);
}

void Connection::Execute(const std::string& commandText, int /*options*/) {
    session().run(commandText);
}

void Connection::DefaultDatabase(const std::string& name) {
    session().setDefaultDatabase(name);
}

std::string Connection::DefaultDatabase() const {
    return session().defaultDatabase();
}

void Connection::Close() {
    if (!session_) throw DbError(kIsClosed);
    auto session = std::move(session_);
    session->close();
}

void Connection::WrapSession(const SessionWrapper& wrap) {
    if (!session_) throw DbError(kIsClosed);
    session_ = wrap(std::move(session_));
}

ProviderSession& Connection::session() const {
    if (!session_) throw DbError(kIsClosed);
    return *session_;
}

}  // namespace dsadmin
