#include "sandbox/sql/AppLocks.h"

#include <iterator>
#include <set>

#include "sandbox/sql/Names.h"

namespace sandbox::sql {
namespace {

// SQL Server's compatibility of lock modes (the table is symmetric).
bool Compatible(AppLocks::Mode a, AppLocks::Mode b) {
    using M = AppLocks::Mode;
    auto either = [&](M x, M y) { return (a == x && b == y) || (a == y && b == x); };
    if (a == M::Exclusive || b == M::Exclusive) return false;
    if (a == M::IntentShared || b == M::IntentShared) return true;
    if (a == M::Shared && b == M::Shared) return true;
    return either(M::Shared, M::Update) || (a == M::IntentExclusive && b == M::IntentExclusive);
}

// By Mode.
constexpr const char* kModeNames[] = {"Shared", "Update", "IntentShared", "IntentExclusive",
                                      "Exclusive"};
static_assert(std::size(kModeNames) == static_cast<std::size_t>(AppLocks::Mode::Exclusive) + 1);

}  // namespace

const char* AppLocks::modeName(Mode mode) {
    return kModeNames[static_cast<std::size_t>(mode)];
}

std::optional<AppLocks::Mode> AppLocks::parseMode(const std::string& text) {
    for (std::size_t i = 0; i < std::size(kModeNames); ++i)
        if (equalsName(text, kModeNames[i])) return static_cast<Mode>(i);
    return std::nullopt;
}

bool AppLocks::grantable(const Key& key, int spid, Mode mode) const {
    const auto it = holds_.find(key);
    if (it == holds_.end()) return true;
    for (const Hold& h : it->second)
        if (h.spid != spid && !Compatible(h.mode, mode)) return false;
    return true;
}

// True when some session holding `key` waits, directly or through others, for `spid`.
bool AppLocks::waitCloses(const Key& key, int spid) const {
    std::set<int> seen;
    std::vector<Key> todo{key};
    while (!todo.empty()) {
        const Key k = todo.back();
        todo.pop_back();
        const auto it = holds_.find(k);
        if (it == holds_.end()) continue;
        for (const Hold& h : it->second) {
            if (h.spid == spid) return true;
            if (!seen.insert(h.spid).second) continue;
            if (const auto w = waiting_.find(h.spid); w != waiting_.end())
                todo.push_back(w->second);
        }
    }
    return false;
}

void AppLocks::grant(const Key& key, int spid, Mode mode) {
    for (Hold& h : holds_[key])
        if (h.spid == spid && h.mode == mode) return void(++h.count);
    holds_[key].push_back({spid, mode, 1});
}

int AppLocks::acquire(int spid, const std::string& database, const std::string& resource, Mode mode,
                      std::chrono::milliseconds timeout, std::unique_lock<std::mutex>& held) {
    const Key key{lower(database), resource};
    if (grantable(key, spid, mode)) return grant(key, spid, mode), 0;
    if (timeout.count() == 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    waiting_[spid] = key;
    for (;;) {
        // A circle is found by the request that would close it, so the newest waiter is the
        // victim; the others never see one.
        if (waitCloses(key, spid)) {
            waiting_.erase(spid);
            return -3;
        }
        if (timeout.count() < 0) {
            changed_.wait(held);
        } else if (changed_.wait_until(held, deadline) == std::cv_status::timeout &&
                   !grantable(key, spid, mode)) {
            waiting_.erase(spid);
            return -1;
        }
        if (grantable(key, spid, mode)) break;
    }
    waiting_.erase(spid);
    grant(key, spid, mode);
    return 1;
}

bool AppLocks::release(int spid, const std::string& database, const std::string& resource) {
    const auto it = holds_.find({lower(database), resource});
    if (it == holds_.end()) return false;
    std::vector<Hold>& list = it->second;
    for (auto h = list.begin(); h != list.end(); ++h) {
        if (h->spid != spid) continue;
        if (--h->count == 0) list.erase(h);
        if (list.empty()) holds_.erase(it);
        changed_.notify_all();
        return true;
    }
    return false;
}

void AppLocks::releaseAll(int spid) {
    for (auto it = holds_.begin(); it != holds_.end();) {
        std::erase_if(it->second, [&](const Hold& h) { return h.spid == spid; });
        it = it->second.empty() ? holds_.erase(it) : std::next(it);
    }
    waiting_.erase(spid);
    changed_.notify_all();
}

std::vector<AppLocks::Grant> AppLocks::grants() const {
    std::vector<Grant> out;
    for (const auto& [key, list] : holds_)
        for (const Hold& h : list) out.push_back({h.spid, key.first, key.second, h.mode});
    return out;
}

}  // namespace sandbox::sql
