#pragma once
// The server's log: one line per event on a stream (stderr by default), whole lines even
// when several connections write at once. Callers never pass passwords.

#include <cstdio>
#include <mutex>
#include <string>

namespace sandbox::tds {

class ServerLog {
  public:
    // `out` is borrowed and must outlive the log.
    explicit ServerLog(std::FILE* out = stderr) : out_(out) {}
    // Writes "<UTC time> <text>\n" and flushes.
    void write(const std::string& text);

  private:
    std::FILE* out_;
    std::mutex mutex_;
};

}  // namespace sandbox::tds
