#include "instance/InstanceHandOver.h"

#include "files/Errors.h"
#include "instance/FolderLock.h"
#include "instance/HandOverClient.h"
#include "instance/HandOverProtocol.h"
#include "instance/LocalSocket.h"
#include "state/DialogsAndClipboard.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace kven {

using namespace handover;

namespace {

using std::chrono::milliseconds;

// A holder of the lock asks for at most the hand-over's timeout; this is what it may need beyond.
constexpr milliseconds kLockSlack{5000};
constexpr milliseconds kRetryPause{50};

bool ownerOnlyFolder(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
           (info.st_mode & 0777) == 0700;
}

bool fitsAnAddress(const std::string& folder)
{
    return folder.size() + 1 + std::strlen(kSocketName) < sizeof(sockaddr_un::sun_path);
}

} // namespace

std::optional<std::string> InstanceHandOver::socketFolder()
{
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && runtime[0] == '/') {
        const std::string folder = runtime;
        if (ownerOnlyFolder(folder) && fitsAnAddress(folder))
            return folder;
    }
    // A folder of our own under the temporary folder; /tmp lets anyone make names, so one
    // that is already there is used only when it is ours, owner-only and not a link.
    const char* temp = std::getenv("TMPDIR");
    const std::string base = temp != nullptr && temp[0] == '/' ? temp : "/tmp";
    const std::string folder = base + "/kven-" + std::to_string(::geteuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return std::nullopt;
    if (!ownerOnlyFolder(folder) || !fitsAnAddress(folder))
        return std::nullopt;
    return folder;
}

InstanceHandOver::InstanceHandOver(std::string folder, HandOverLimits limits)
    : folder_(std::move(folder)), limits_(limits)
{
}

InstanceHandOver::~InstanceHandOver()
{
    const bool wasListening = listening();
    server_.reset();
    if (!wasListening)
        return;
    // A copy that holds the lock is taking the name over and deals with what is left; the file
    // is removed only when nobody has started listening on it since.
    const FolderLock lock(folder_ + '/' + kLockName);
    if (lock.tryAcquire() && nobodyListens(socketPath()))
        ::unlink(socketPath().c_str());
}

bool InstanceHandOver::listening() const
{
    return server_ != nullptr && server_->listening();
}

std::string InstanceHandOver::socketPath() const
{
    return folder_ + '/' + kSocketName;
}

InstanceHandOver::Outcome InstanceHandOver::start(milliseconds timeout)
{
    const FolderLock lock(folder_ + '/' + kLockName);
    if (!lock.opened())
        return Outcome::NoCopy;
    if (!lock.acquire(timeout + kLockSlack))
        return Outcome::StayedOpen;
    const Clock::time_point deadline = Clock::now() + timeout;
    bool closedOne = false;
    for (;;) {
        switch (askToClose(socketPath(), deadline)) {
        case Reply::Nobody: takeName(); return closedOne ? Outcome::Closed : Outcome::NoCopy;
        case Reply::StillOpen: return Outcome::StayedOpen;
        case Reply::Closed:
            // It has stopped listening, so the next round finds the name free; a second
            // "closed" from the same name is not one of our copies speaking.
            if (closedOne)
                return Outcome::StayedOpen;
            closedOne = true;
            break;
        case Reply::Busy:
            if (Clock::now() >= deadline)
                return Outcome::StayedOpen;
            std::this_thread::sleep_for(kRetryPause);
            break;
        }
    }
}

// Under the lock, with nobody listening: whatever has the name is a leftover.
void InstanceHandOver::takeName()
{
    ::unlink(socketPath().c_str());
    server_ = HandOverServer::listenOn(socketPath(), limits_);
}

void InstanceHandOver::serve(std::function<bool()> closeWindow)
{
    if (server_)
        server_->serve(std::move(closeWindow));
}

InstanceHandOver::Outcome handOverAtStart(InstanceHandOver& handOver, WindowDialogs& dialogs, milliseconds timeout)
{
    const InstanceHandOver::Outcome outcome = handOver.start(timeout);
    if (outcome == InstanceHandOver::Outcome::StayedOpen)
        dialogs.showError(errorBoxText(kStillRunningMessage));
    return outcome;
}

} // namespace kven
