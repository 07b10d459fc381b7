#pragma once
// One running copy per user. The running copy listens on a local socket named after its
// window class, "TForm1", in a per-user owner-only folder. A new copy asks it to close; it runs
// its whole close handling (the bookmark is written) and only then answers, so the new copy
// reads no file before the old one has finished writing. A lock file beside the socket is held
// from the question until the name is taken over, so copies started at the same moment hand
// over one after the other and the name always leads to the one copy left.

#include "instance/HandOverServer.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kven {

class WindowDialogs;

// The start-up's message when the running copy does not close.
inline constexpr char kStillRunningMessage[] = "実行中の KVEN が閉じなかったので、起動を取りやめました";

class InstanceHandOver {
public:
    enum class Outcome {
        NoCopy,     // nobody listened on the name (a socket left by a killed copy counts as none)
        Closed,     // the running copy closed
        StayedOpen, // a copy is there and did not close: it refused, or did not answer in time
    };

    // The folder for the socket: the runtime folder when it is ours and owner-only, else
    // "kven-<uid>" in the temporary folder, made owner-only. Nothing when neither can be had:
    // the folder belongs to someone else, is open to others or is a symbolic link.
    static std::optional<std::string> socketFolder();

    explicit InstanceHandOver(std::string folder, HandOverLimits limits = {});
    // Gives up the name when this copy still holds it and no hand-over is under way.
    ~InstanceHandOver();
    InstanceHandOver(const InstanceHandOver&) = delete;
    InstanceHandOver& operator=(const InstanceHandOver&) = delete;

    // Asks the running copy, if any, to close and waits at most `timeout` for its answer. The
    // name is taken over only when no copy is left on it. Without a usable lock file the
    // result is NoCopy and nothing listens.
    Outcome start(std::chrono::milliseconds timeout);
    bool listening() const;

    // From now on close requests run `closeWindow`, which returns whether the window closed;
    // the requesting copy gets the answer after it returns. Requests made earlier (while the
    // window was being created) are handled now, except those whose copy has given up.
    // Runs on the thread of the event loop.
    void serve(std::function<bool()> closeWindow);

private:
    std::string socketPath() const;
    void takeName();

    std::string folder_;
    HandOverLimits limits_;
    // Made once the name is taken over.
    std::unique_ptr<HandOverServer> server_;
};

// The start-up's first step. When a running copy stayed open the error box says so, and this
// copy is to end without reading any file.
InstanceHandOver::Outcome handOverAtStart(InstanceHandOver& handOver, WindowDialogs& dialogs,
                                          std::chrono::milliseconds timeout);

} // namespace kven
