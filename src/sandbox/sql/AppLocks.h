#pragma once
// The application locks of sp_getapplock and sp_releaseapplock: named locks that sessions
// take in a database, in the five modes SQL Server offers, owned by the session and held
// until released or until the session ends. A request that conflicts with another session's
// lock waits (up to its time-out), and a wait that would close a circle of sessions waiting
// for one another is refused at once (the newest waiter is the victim). A session may take
// the same lock again; each grant needs its own release.
//
// Every call is made under the instance lock, which a waiting request gives up while it waits.

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace sandbox::sql {

class AppLocks {
  public:
    enum class Mode { Shared, Update, IntentShared, IntentExclusive, Exclusive };

    // The mode a procedure argument names ("Exclusive", any case), or nullopt.
    static std::optional<Mode> parseMode(const std::string& text);

    // sp_getapplock's return code: 0 granted at once, 1 granted after waiting, -1 timed out,
    // -3 refused as a deadlock victim. `timeout` below zero waits for ever; zero never waits.
    // `held` is the caller's hold of the instance lock.
    int acquire(int spid, const std::string& database, const std::string& resource, Mode mode,
                std::chrono::milliseconds timeout, std::unique_lock<std::mutex>& held);

    // Releases one grant of the session's lock; false when it holds none.
    bool release(int spid, const std::string& database, const std::string& resource);

    // Releases every lock of a session that ends.
    void releaseAll(int spid);

    // A granted lock, for the views that list them.
    struct Grant {
        int spid;
        std::string database;  // lower case
        std::string resource;
        Mode mode;
    };
    std::vector<Grant> grants() const;

    static const char* modeName(Mode mode);  // "Exclusive", ...

  private:
    struct Hold {
        int spid;
        Mode mode;
        int count;
    };
    using Key = std::pair<std::string, std::string>;  // database (lower case), resource

    bool grantable(const Key& key, int spid, Mode mode) const;
    bool waitCloses(const Key& key, int spid) const;
    void grant(const Key& key, int spid, Mode mode);

    std::map<Key, std::vector<Hold>> holds_;
    std::map<int, Key> waiting_;  // the lock each waiting session waits for
    std::condition_variable changed_;
};

}  // namespace sandbox::sql
