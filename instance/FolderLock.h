#pragma once
// The lock file beside the hand-over's socket, held from the question to the running copy until
// the name is taken over; closing it releases the lock.

#include "instance/LocalSocket.h"

#include <chrono>
#include <string>

namespace kven::handover {

class FolderLock {
public:
    // Opens or creates the lock file, owner-only, never through a symbolic link.
    explicit FolderLock(const std::string& path);
    bool opened() const { return fd_.get() >= 0; }
    bool tryAcquire() const;

    // Waits while the lock passes from holder to holder (copies started together queue up);
    // gives up when one holder keeps it longer than `perHolder`.
    bool acquire(std::chrono::milliseconds perHolder) const;

private:
    std::string mark() const;

    Descriptor fd_;
};

} // namespace kven::handover
