#pragma once
// The server's log: one line per event on a stream (stderr by default), whole lines even
// when several connections write at once. Callers never pass passwords. Every line is one
// line (control characters become spaces) and at most kMaxLineBytes long with its time stamp
// (longer text is cut at a character boundary and ends in "...").

#include <cstdio>
#include <mutex>
#include <string>

namespace sandbox::tds {

class ServerLog {
  public:
    // `out` is borrowed and must outlive the log.
    static constexpr std::size_t kMaxLineBytes = 1024;

    explicit ServerLog(std::FILE* out = stderr) : out_(out) {}
    // Writes "<UTC time> <text>\n" and flushes.
    void write(const std::string& text);
    // The text as a line carries it: control characters replaced, cut to `maxBytes`.
    static std::string fit(const std::string& text, std::size_t maxBytes);

  private:
    std::FILE* out_;
    std::mutex mutex_;
};

}  // namespace sandbox::tds
