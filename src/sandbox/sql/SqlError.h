#pragma once
// The exception that carries SQL Server messages out of the lexer, the parser and the
// statements. The session turns it into a StatementResult's error (and precedingErrors).

#include <stdexcept>
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
        if (last_.line == 0) last_.line = line;
        for (Message& m : preceding_)
            if (m.line == 0) m.line = line;
    }

private:
    Message last_;
    std::vector<Message> preceding_;
};

}  // namespace sandbox::sql
