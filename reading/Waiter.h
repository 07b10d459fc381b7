#pragma once
// The blocking pause before each utterance, as a seam: the real one sleeps, tests record.

namespace kven {

class Waiter {
public:
    virtual ~Waiter() = default;
    virtual void wait(int milliseconds) = 0;
};

class SleepWaiter : public Waiter {
public:
    void wait(int milliseconds) override;
};

// For callers that must never pause (the command-line dump).
class NoWaiter : public Waiter {
public:
    void wait(int) override {}
};

} // namespace kven
