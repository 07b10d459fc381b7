#pragma once
// The few operations on Unix stream sockets that the hand-over needs, on plain descriptors.

#include <string>
#include <string_view>
#include <utility>

namespace kven::handover {

// Owns a descriptor and closes it.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor();
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// connect() and bind() to the socket at `path`: 0, or -1 with errno set.
int connectTo(int fd, const std::string& path);
int bindTo(int fd, const std::string& path);

// Sends all of `bytes`, without a SIGPIPE when the other end is gone.
bool sendAll(int fd, std::string_view bytes);

// Connection errors that say someone listens but has no room for us yet.
bool busy(int error);

// Nobody listens on `path` when a connection is refused or there is nothing there.
bool nobodyListens(const std::string& path);

} // namespace kven::handover
