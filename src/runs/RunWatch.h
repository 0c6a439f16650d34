#pragma once
// What a caller other than the window may attach to a run (RunInput::watch): it hears every
// statement and query the run sends to the server with the server's answer, what became of
// each described table, and the failure that ends the run; and it may hold back the
// statements that would change the server, so that the run walks through as a plan. The
// window attaches none. Text is UTF-8.

#include <exception>
#include <string>

namespace dsadmin {

enum class TableFate {
    Created,  // its CREATE TABLE was accepted (or, held back, would have been sent)
    Present,  // the database has it; the modify run leaves it alone
};

class RunWatch {
  public:
    virtual ~RunWatch() = default;

    // Before a statement that changes the server (CREATE DATABASE, CREATE TABLE,
    // Drop Database). False holds it back: it is not sent, and the run goes on as if the
    // server had accepted it (the create run then skips the switch to the new database).
    virtual bool sending(const std::string& /*statement*/) { return true; }

    // After each statement or query the run sent to the server; `failure` is null when the
    // server accepted it. A statement held back is not reported here.
    virtual void sent(const std::string& /*statement*/, const std::exception* /*failure*/) {}

    // A described table, created (or held back) by a create or modify run, or found present.
    virtual void table(const std::string& /*name*/, TableFate /*fate*/) {}

    // The failure that ends a create or delete run, just before the run shows it. (The modify
    // run lets its failures pass to the caller.)
    virtual void failed(const std::exception& /*failure*/) {}
};

}  // namespace dsadmin
