#pragma once
// A server-wide cap on the memory that requests hold while they are read, parsed, run and
// answered. Each request charges what it is about to hold (the bytes of its packets, the
// lexer's tokens, the parser's statements, the rows and the encoded answer) to a
// RequestMemory, which takes it from the MemoryBudget and gives it all back when the request
// ends. A charge that would pass the cap fails: the request is answered with SQL Server's
// "insufficient system memory" error (701) instead of growing the server.
//
// Code deep in the engine reaches the request's account through chargeRequest(): the front
// end makes the account current on its thread (RequestMemory::Scope) while it serves the
// request. Without a current account (unit tests, the engine alone) every charge succeeds.

#include <atomic>
#include <cstddef>

namespace sandbox {

class MemoryBudget {
  public:
    explicit MemoryBudget(std::size_t capBytes) : cap_(capBytes) {}
    MemoryBudget(const MemoryBudget&) = delete;
    MemoryBudget& operator=(const MemoryBudget&) = delete;

    bool reserve(std::size_t bytes) {
        std::size_t used = used_.load();
        do {
            if (bytes > cap_ || used > cap_ - bytes) return false;
        } while (!used_.compare_exchange_weak(used, used + bytes));
        return true;
    }
    void release(std::size_t bytes) { used_.fetch_sub(bytes); }
    std::size_t used() const { return used_.load(); }
    std::size_t cap() const { return cap_; }

  private:
    std::size_t cap_;
    std::atomic<std::size_t> used_{0};
};

class RequestMemory {
  public:
    // `budget` is borrowed (may be null: no cap).
    explicit RequestMemory(MemoryBudget* budget) : budget_(budget) {}
    ~RequestMemory() {
        if (budget_) budget_->release(held_);
    }
    RequestMemory(const RequestMemory&) = delete;
    RequestMemory& operator=(const RequestMemory&) = delete;

    // False, and nothing held, when the budget cannot give `bytes` more.
    bool charge(std::size_t bytes) {
        if (!budget_) return true;
        if (!budget_->reserve(bytes)) return false;
        held_ += bytes;
        return true;
    }
    std::size_t held() const { return held_; }

    // Makes `request` the current account of this thread until the scope ends.
    class Scope {
      public:
        explicit Scope(RequestMemory& request) : previous_(current()) { current() = &request; }
        ~Scope() { current() = previous_; }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

      private:
        RequestMemory* previous_;
    };

    static RequestMemory*& current() {
        thread_local RequestMemory* request = nullptr;
        return request;
    }

  private:
    MemoryBudget* budget_;
    std::size_t held_ = 0;
};

// Charges the current request of this thread; false when the budget is spent.
inline bool chargeRequest(std::size_t bytes) {
    RequestMemory* request = RequestMemory::current();
    return !request || request->charge(bytes);
}

}  // namespace sandbox
