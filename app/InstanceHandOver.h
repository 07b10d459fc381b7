#pragma once
// One running copy per user. The running copy listens on a local socket named after its
// window class, "TForm1", in the user's runtime folder (owner-only). A new copy asks it to
// close; it runs its whole close handling (the bookmark is written) and only then answers,
// so the new copy reads no file before the old one has finished writing.

#include <QLocalServer>
#include <QString>

#include <chrono>
#include <functional>

namespace kven {

class InstanceHandOver {
public:
    static QString socketPath();

    // Asks the running copy, if any, to close and waits for its answer for at most
    // `timeout`. True when a copy answered that it has closed; false when there was none
    // (a socket left by a copy that was killed counts as none), it stayed open or it did
    // not answer in time.
    static bool closeRunningCopy(std::chrono::milliseconds timeout);

    // Listens for close requests. `closeWindow` handles one and returns whether the window
    // closed; the requesting copy gets the answer after it returns. A socket left behind by
    // a copy that is gone is replaced. False when the socket cannot be made.
    bool listen(std::function<bool()> closeWindow);

private:
    QLocalServer server_;
    std::function<bool()> closeWindow_;
};

} // namespace kven
