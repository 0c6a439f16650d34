#pragma once
// The one failure type of the data-access layer. what() is exactly the description the
// operator reads (a server's message text, a provider's description); it never holds a
// password or a raw connection string.

#include <stdexcept>
#include <string>
#include <vector>

namespace dsadmin {

struct ServerMessage {
    int number = 0;    // the server's error number (18456, 1801, ...); 0 when none
    int severity = 0;  // SQL Server class
    int state = 0;
    std::string sqlState;  // ODBC SQLSTATE, empty when none
    std::string text;      // the message text without driver prefixes
};

class DbError : public std::runtime_error {
  public:
    explicit DbError(const std::string& description, std::string sqlState = {}, int number = 0,
                     std::vector<ServerMessage> messages = {})
        : std::runtime_error(description),
          sqlState_(std::move(sqlState)),
          number_(number),
          messages_(std::move(messages)) {}

    const std::string& sqlState() const { return sqlState_; }
    int number() const { return number_; }
    const std::vector<ServerMessage>& messages() const { return messages_; }

  private:
    std::string sqlState_;
    int number_;
    std::vector<ServerMessage> messages_;
};

}  // namespace dsadmin
