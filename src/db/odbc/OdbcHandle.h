#pragma once
// A move-only owner of one ODBC handle (environment, connection or statement). The
// destructor frees the handle and never throws; a connection handle is disconnected first
// when it was connected.

#include <sql.h>
#include <sqlext.h>

#include <utility>

namespace dsadmin {

class OdbcHandle {
  public:
    OdbcHandle() = default;
    OdbcHandle(SQLSMALLINT type, SQLHANDLE handle) : type_(type), handle_(handle) {}
    OdbcHandle(OdbcHandle&& o) noexcept
        : type_(o.type_),
          handle_(std::exchange(o.handle_, SQLHANDLE{})),
          connected_(std::exchange(o.connected_, false)) {}
    OdbcHandle& operator=(OdbcHandle&& o) noexcept {
        if (this != &o) {
            reset();
            type_ = o.type_;
            handle_ = std::exchange(o.handle_, SQLHANDLE{});
            connected_ = std::exchange(o.connected_, false);
        }
        return *this;
    }
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;
    ~OdbcHandle() { reset(); }

    SQLHANDLE get() const { return handle_; }
    SQLSMALLINT type() const { return type_; }
    // Marks a connection handle as connected, so that release disconnects it.
    void setConnected(bool connected) { connected_ = connected; }
    bool connected() const { return connected_; }

    void reset() noexcept {
        if (handle_ == nullptr) return;
        if (connected_) SQLDisconnect(handle_);
        SQLFreeHandle(type_, handle_);
        handle_ = nullptr;
        connected_ = false;
    }

  private:
    SQLSMALLINT type_ = SQL_HANDLE_ENV;
    SQLHANDLE handle_ = nullptr;
    bool connected_ = false;
};

}  // namespace dsadmin
