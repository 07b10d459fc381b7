#include "instance/LocalSocket.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kven::handover {

namespace {

sockaddr_un addressOf(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), std::min(path.size(), sizeof(address.sun_path) - 1));
    return address;
}

} // namespace

Descriptor::~Descriptor()
{
    if (fd_ >= 0)
        ::close(fd_);
}

int connectTo(int fd, const std::string& path)
{
    const sockaddr_un address = addressOf(path);
    return ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
}

int bindTo(int fd, const std::string& path)
{
    const sockaddr_un address = addressOf(path);
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
}

bool sendAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

bool busy(int error)
{
    return error == EAGAIN || error == EINTR || error == ETIMEDOUT || error == EINPROGRESS;
}

bool nobodyListens(const std::string& path)
{
    const Descriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    return fd.get() >= 0 && connectTo(fd.get(), path) != 0 && !busy(errno);
}

} // namespace kven::handover
