#include "reading/Waiter.h"

#include <chrono>
#include <thread>

namespace kven {

void SleepWaiter::after(int milliseconds, std::function<void()> then)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    then();
}

} // namespace kven
