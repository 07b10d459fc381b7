#pragma once
// The main thread's event loop as the speech back ends see it: they post work to it from any
// thread, and it runs that work later on the main thread, never inside the call that posted.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace kven {

class EventPoster {
public:
    virtual ~EventPoster() = default;
    // Thread-safe. `task` runs later on the main thread. A task may throw KvenError (a speech
    // back end reports a failure after Speak returned that way): the loop reports it as it
    // reports a failed command, and goes on with the next task.
    virtual void post(std::function<void()> task) = 0;
};

// A plain queue for programs and tests without a window system's loop.
class EventQueue : public EventPoster {
public:
    void post(std::function<void()> task) override;

    // Runs the tasks posted so far (not those they post in turn); returns how many ran.
    std::size_t runPending();
    // Runs the next task, waiting up to `timeout` for one; false when none came.
    bool runOne(std::chrono::milliseconds timeout = std::chrono::milliseconds(0));
    std::size_t size() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> tasks_;
};

} // namespace kven
