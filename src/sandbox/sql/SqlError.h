#pragma once
// The exception that carries SQL Server messages out of the lexer, the parser and the
// statements. The session turns it into a StatementResult's error (and precedingErrors).

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "sandbox/Engine.h"

namespace sandbox::sql {

class SqlError : public std::runtime_error {
  public:
    explicit SqlError(Message last, std::vector<Message> preceding = {})
        : std::runtime_error(last.text), last_(std::move(last)), preceding_(std::move(preceding)) {}

    // The message the client reports (the last ERROR token of the reply).
    const Message& last() const { return last_; }
    // ERROR tokens sent before last(), in order.
    const std::vector<Message>& preceding() const { return preceding_; }
    // Sets the line of every message whose line is still unknown (0).
    void setLine(std::int32_t line) {
        place(last_, line);
        for (Message& m : preceding_) place(m, line);
    }

  private:
    static void place(Message& m, std::int32_t line) {
        if (m.line != 0) return;
        m.line = line;
        if (m.text.rfind("Line 0:", 0) == 0) m.text.replace(5, 1, std::to_string(line));  // 1001
    }

    Message last_;
    std::vector<Message> preceding_;
};

}  // namespace sandbox::sql
