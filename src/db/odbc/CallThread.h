#pragma once
// A thread of a session's own that makes its driver calls while the caller's thread stays free
// to do something else (a window: paint). One call at a time, and the caller always waits for
// the call to end, so the ODBC handles a call uses are never used from two threads at once.
// The thread starts with the first call and ends with this object; used from one thread.

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>

namespace dsadmin {

class CallThread {
  public:
    CallThread() = default;
    // Ends the thread (idle by then: run() waits for every call). Never throws.
    ~CallThread();
    CallThread(const CallThread&) = delete;
    CallThread& operator=(const CallThread&) = delete;

    // What call returns, or what it throws, once it has run on this object's thread.
    // Meanwhile whileWaiting is called on the caller's thread every 50 ms, the first time
    // after 50 ms, so a call that ends sooner never waits for it. What whileWaiting throws is
    // passed on once the call has ended, unless the call threw (its exception comes first);
    // after a throw whileWaiting is not called again for this call. When no thread can be
    // started, call runs on the caller's thread.
    template <class Call>
    auto run(Call call, const std::function<void()>& whileWaiting) -> decltype(call()) {
        using Result = decltype(call());
        if constexpr (std::is_void_v<Result>) {
            runJob(call, whileWaiting);
        } else {
            std::optional<Result> result;
            runJob([&] { result.emplace(call()); }, whileWaiting);
            return std::move(*result);
        }
    }

  private:
    void runJob(const std::function<void()>& job, const std::function<void()>& whileWaiting);
    void loop();

    std::mutex mutex_;
    std::condition_variable posted_;              // a job or the end, for the thread
    std::condition_variable finished_;            // the job's end, for the caller
    const std::function<void()>* job_ = nullptr;  // the job to run, until it has run
    bool done_ = false;
    std::exception_ptr failure_;  // what the job threw
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace dsadmin
