#include "instance/FolderLock.h"

#include <atomic>
#include <cerrno>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace kven::handover {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

FolderLock::FolderLock(const std::string& path)
    : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600))
{
}

bool FolderLock::tryAcquire() const
{
    return opened() && ::flock(fd_.get(), LOCK_EX | LOCK_NB) == 0;
}

bool FolderLock::acquire(milliseconds perHolder) const
{
    std::string holder = mark();
    Clock::time_point since = Clock::now();
    while (!tryAcquire()) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        if (std::string now = mark(); now != holder) {
            holder = std::move(now);
            since = Clock::now();
        } else if (Clock::now() - since > perHolder) {
            return false;
        }
        std::this_thread::sleep_for(milliseconds(20));
    }
    // Tells the copies waiting behind that the lock has changed hands.
    static std::atomic<unsigned> serial{0};
    const std::string text = std::to_string(::getpid()) + ' ' + std::to_string(++serial) + ' ' +
                             std::to_string(Clock::now().time_since_epoch().count()) + '\n';
    const bool marked = ::ftruncate(fd_.get(), 0) == 0 && ::pwrite(fd_.get(), text.data(), text.size(), 0) > 0;
    static_cast<void>(marked);
    return true;
}

std::string FolderLock::mark() const
{
    char buffer[64];
    const ssize_t got = ::pread(fd_.get(), buffer, sizeof(buffer), 0);
    return got > 0 ? std::string(buffer, static_cast<std::size_t>(got)) : std::string();
}

} // namespace kven::handover
