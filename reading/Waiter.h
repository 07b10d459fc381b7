#pragma once
// The pause before each utterance, as a seam: the window's runs on a timer of its event loop,
// the command line's sleeps, tests record or hold it.

#include <functional>

namespace kven {

class Waiter {
public:
    virtual ~Waiter() = default;
    // Runs `then` once `milliseconds` have passed; it may run before after() returns. A
    // waiter that runs it later must never run it from inside a call of the caller's.
    virtual void after(int milliseconds, std::function<void()> then) = 0;
    // Whether the pause really passes, so that work for the next step may be done during it.
    virtual bool pauses() const { return true; }
};

// Sleeps, then runs: for a caller that has no event loop to keep answering.
class SleepWaiter : public Waiter {
public:
    void after(int milliseconds, std::function<void()> then) override;
};

// For callers that must never pause (the command-line dump, the export).
class NoWaiter : public Waiter {
public:
    void after(int, std::function<void()> then) override { then(); }
    bool pauses() const override { return false; }
};

} // namespace kven
