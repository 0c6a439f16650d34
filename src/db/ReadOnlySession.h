#pragma once
// A session that sends only what reads: it passes a single SELECT without INTO to the session
// it wraps and refuses every other command text, unsent, with a DbError. A plan wraps its
// server connection in one (Connection::WrapSession), so that no statement of a run changes
// the server during a plan, whether or not the run holds it back itself. Text is UTF-8.

#include <memory>
#include <string>
#include <string_view>

#include "db/ProviderSession.h"

namespace dsadmin {

// The description of a refused command: "只读连接不发送改变服务器的语句：" + the text.
inline constexpr const char* kReadOnlyRefusal = "只读连接不发送改变服务器的语句：";

// True when `text` is a SELECT that reads only: its first word is SELECT, and outside its
// string literals ('…', N'…'), quoted names ("…", […]) and comments it has no ";", no word
// that may start another kind of statement (T-SQL needs no ";" between statements) and no
// INTO. Anything else (and anything unclosed) counts as changing.
bool IsReadingQuery(std::string_view text);

class ReadOnlySession : public ProviderSession {
  public:
    explicit ReadOnlySession(std::unique_ptr<ProviderSession> inner) : inner_(std::move(inner)) {}

    // For Connection::WrapSession.
    static std::unique_ptr<ProviderSession> Wrap(std::unique_ptr<ProviderSession> inner) {
        return std::make_unique<ReadOnlySession>(std::move(inner));
    }

    // Throws DbError(kReadOnlyRefusal + text) unless IsReadingQuery(text).
    std::optional<RowSet> run(const std::string& text) override;
    // Switching databases changes nothing on the server: passed on.
    void setDefaultDatabase(const std::string& name) override { inner_->setDefaultDatabase(name); }
    std::string defaultDatabase() override { return inner_->defaultDatabase(); }
    void setCommandTimeout(int seconds) override { inner_->setCommandTimeout(seconds); }
    void close() override { inner_->close(); }

  private:
    std::unique_ptr<ProviderSession> inner_;
};

}  // namespace dsadmin
