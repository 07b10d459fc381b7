#include "speech/EventLoop.h"

namespace kven {

void EventQueue::post(std::function<void()> task)
{
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    ready_.notify_one();
}

std::size_t EventQueue::runPending()
{
    // One task at a time, so a task that throws leaves the later ones queued.
    std::size_t count = size();
    std::size_t ran = 0;
    while (ran < count) {
        std::function<void()> task;
        {
            std::lock_guard lock(mutex_);
            if (tasks_.empty())
                break;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        ++ran;
        task();
    }
    return ran;
}

bool EventQueue::runOne(std::chrono::milliseconds timeout)
{
    std::function<void()> task;
    {
        std::unique_lock lock(mutex_);
        if (!ready_.wait_for(lock, timeout, [this] { return !tasks_.empty(); }))
            return false;
        task = std::move(tasks_.front());
        tasks_.pop_front();
    }
    task();
    return true;
}

std::size_t EventQueue::size() const
{
    std::lock_guard lock(mutex_);
    return tasks_.size();
}

} // namespace kven
