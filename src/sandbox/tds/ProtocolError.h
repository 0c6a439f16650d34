#pragma once
// Errors raised while decoding what a client sent.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace sandbox::tds {

// The bytes break the protocol (lengths that lie, truncated data, wrong packet type). The
// connection that sent them is closed; the server goes on serving the others.
class ProtocolError : public std::runtime_error {
  public:
    explicit ProtocolError(const std::string& what) : std::runtime_error(what) {}
};

// A well-formed request the sandbox does not handle (an unsupported parameter type, a
// procedure other than sp_executesql). The client gets an ERROR token and the connection stays.
// `number` is the SQL Server error number when one fits (2812, 214), else 0.
class UnsupportedRequest : public std::runtime_error {
  public:
    explicit UnsupportedRequest(const std::string& what, std::int32_t number = 0)
        : std::runtime_error(what), number_(number) {}
    std::int32_t number() const { return number_; }

  private:
    std::int32_t number_;
};

}  // namespace sandbox::tds
