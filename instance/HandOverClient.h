#pragma once
// The new copy's side of the hand-over: one connection to the name, a close request, and the
// wait for the running copy's answer.

#include <chrono>
#include <string>

namespace kven::handover {

using Clock = std::chrono::steady_clock;

enum class Reply {
    Nobody,    // nothing listens on the name
    Closed,    // the copy closed and has let go of the name
    StillOpen, // the copy said it stays open, or did not answer in time
    Busy,      // the connection was turned away or closed unanswered: worth asking again
};

// Asks whatever listens on the socket at `path` to close; gives up at `deadline`.
Reply askToClose(const std::string& path, Clock::time_point deadline);

} // namespace kven::handover
