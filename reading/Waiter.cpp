#include "reading/Waiter.h"

#include <chrono>
#include <thread>

namespace kven {

void SleepWaiter::wait(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace kven
