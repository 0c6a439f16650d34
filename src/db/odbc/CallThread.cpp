#include "db/odbc/CallThread.h"

#include <chrono>
#include <system_error>

namespace dsadmin {

CallThread::~CallThread() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    posted_.notify_one();
    thread_.join();
}

// No spinning before the wait: on a busy machine a polling caller takes the processor the
// driver's thread and the server need (tried: two to four times slower under load).
void CallThread::runJob(const std::function<void()>& job,
                        const std::function<void()>& whileWaiting) {
    if (!thread_.joinable()) {
        try {
            thread_ = std::thread([this] { loop(); });
        } catch (const std::system_error&) {
            return job();
        }
    }
    {
        std::lock_guard lock(mutex_);
        job_ = &job;
        done_ = false;
    }
    posted_.notify_one();
    std::exception_ptr hookFailure;
    std::unique_lock lock(mutex_);
    while (!finished_.wait_for(lock, std::chrono::milliseconds(50), [this] { return done_; })) {
        if (hookFailure) continue;
        lock.unlock();
        try {
            whileWaiting();
        } catch (...) {
            hookFailure = std::current_exception();
        }
        lock.lock();
    }
    job_ = nullptr;
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
    if (hookFailure) std::rethrow_exception(hookFailure);
}

// Notifies after unlocking, so the woken side does not block on the mutex at once; the
// destructor joins, so this object outlives every notify.
void CallThread::loop() {
    for (;;) {
        std::unique_lock lock(mutex_);
        posted_.wait(lock, [this] { return stop_ || (job_ && !done_); });
        if (stop_) return;
        const std::function<void()>& job = *job_;
        lock.unlock();
        std::exception_ptr failure;
        try {
            job();
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        failure_ = std::move(failure);
        done_ = true;
        lock.unlock();
        finished_.notify_one();
    }
}

}  // namespace dsadmin
