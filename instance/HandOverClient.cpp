#include "instance/HandOverClient.h"

#include "instance/HandOverProtocol.h"
#include "instance/LocalSocket.h"

#include <algorithm>
#include <cerrno>
#include <string_view>

#include <poll.h>
#include <sys/socket.h>

namespace kven::handover {

namespace {

using std::chrono::milliseconds;

int millisecondsUntil(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, 60'000));
}

} // namespace

Reply askToClose(const std::string& path, Clock::time_point deadline)
{
    const Descriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (fd.get() < 0)
        return Reply::Busy;
    // Bounds the connect when the copy's queue of connections is full.
    const int wait = std::max(1, millisecondsUntil(deadline));
    const timeval limit{wait / 1000, (wait % 1000) * 1000};
    ::setsockopt(fd.get(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
    if (connectTo(fd.get(), path) != 0)
        return busy(errno) ? Reply::Busy : Reply::Nobody;
    if (!sendAll(fd.get(), kCloseRequest))
        return Reply::Busy;
    std::string answer;
    for (;;) {
        pollfd readable{fd.get(), POLLIN, 0};
        const int ready = ::poll(&readable, 1, millisecondsUntil(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return Reply::StillOpen;
        char buffer[64];
        const ssize_t got = ::recv(fd.get(), buffer, sizeof(buffer), 0);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got <= 0)
            return Reply::Busy;
        answer.append(buffer, static_cast<std::size_t>(got));
        if (const std::size_t end = answer.find('\n'); end != std::string::npos)
            return std::string_view(answer).substr(0, end + 1) == kClosedAnswer ? Reply::Closed : Reply::StillOpen;
        if (answer.size() > sizeof(buffer))
            return Reply::StillOpen;
    }
}

} // namespace kven::handover
