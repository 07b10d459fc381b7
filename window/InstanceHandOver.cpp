#include "window/InstanceHandOver.h"

#include "files/Errors.h"
#include "state/Dialogs.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace kven {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr char kSocketName[] = "TForm1";
constexpr char kLockName[] = "TForm1.lock";
constexpr std::string_view kCloseRequest = "close\n";
constexpr std::string_view kClosedAnswer = "closed\n";
constexpr std::string_view kStillOpenAnswer = "open\n";
// A holder of the lock asks for at most the hand-over's timeout; this is what it may need beyond.
constexpr milliseconds kLockSlack{5000};
constexpr milliseconds kRetryPause{50};
// Accepted per wake-up, so that a flood of connections cannot hold up the window.
constexpr int kAcceptsPerWakeUp = 32;
constexpr std::size_t kReadPerWakeUp = 512;

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

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

sockaddr_un addressOf(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), std::min(path.size(), sizeof(address.sun_path) - 1));
    return address;
}

int connectTo(int fd, const std::string& path)
{
    const sockaddr_un address = addressOf(path);
    return ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
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

int millisecondsUntil(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, 60'000));
}

// Connection errors that say someone listens but has no room for us yet.
bool busy(int error)
{
    return error == EAGAIN || error == EINTR || error == ETIMEDOUT || error == EINPROGRESS;
}

// Nobody listens on `path` when a connection is refused or there is nothing there.
bool nobodyListens(const std::string& path)
{
    const Descriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    return fd.get() >= 0 && connectTo(fd.get(), path) != 0 && !busy(errno);
}

enum class Reply {
    Nobody,    // nothing listens on the name
    Closed,    // the copy closed and has let go of the name
    StillOpen, // the copy said it stays open, or did not answer in time
    Busy,      // the connection was turned away or closed unanswered: worth asking again
};

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

// The lock file beside the socket; closing it releases the lock.
class FolderLock {
public:
    explicit FolderLock(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600))
    {
    }
    bool opened() const { return fd_.get() >= 0; }
    bool tryAcquire() const { return opened() && ::flock(fd_.get(), LOCK_EX | LOCK_NB) == 0; }

    // Waits while the lock passes from holder to holder (copies started together queue up);
    // gives up when one holder keeps it longer than `perHolder`.
    bool acquire(milliseconds perHolder) const
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

private:
    std::string mark() const
    {
        char buffer[64];
        const ssize_t got = ::pread(fd_.get(), buffer, sizeof(buffer), 0);
        return got > 0 ? std::string(buffer, static_cast<std::size_t>(got)) : std::string();
    }

    Descriptor fd_;
};

} // namespace

struct InstanceHandOver::Peer : QObject {
    explicit Peer(int descriptor, QObject* parent)
        : QObject(parent), fd(descriptor), notifier(descriptor, QSocketNotifier::Read, this), timer(this)
    {
        timer.setSingleShot(true);
    }
    ~Peer() override
    {
        notifier.setEnabled(false);
        if (fd >= 0)
            ::close(fd);
    }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    int fd;
    QSocketNotifier notifier;
    QTimer timer;
    std::string pending;
};

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
    root_.reset();
    if (!listening())
        return;
    ::close(listenFd_);
    listenFd_ = -1;
    // A copy that holds the lock is taking the name over and deals with what is left; the file
    // is removed only when nobody has started listening on it since.
    const FolderLock lock(folder_ + '/' + kLockName);
    if (lock.tryAcquire() && nobodyListens(socketPath()))
        ::unlink(socketPath().c_str());
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
    const std::string path = socketPath();
    ::unlink(path.c_str());
    Descriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (fd.get() < 0)
        return;
    const sockaddr_un address = addressOf(path);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
        return;
    if (::chmod(path.c_str(), 0600) != 0 || ::listen(fd.get(), static_cast<int>(limits_.peers)) != 0) {
        ::unlink(path.c_str());
        return;
    }
    listenFd_ = fd.release();
}

void InstanceHandOver::serve(std::function<bool()> closeWindow)
{
    closeWindow_ = std::move(closeWindow);
    if (!listening() || root_)
        return;
    root_ = std::make_unique<QObject>();
    listenNotifier_ = new QSocketNotifier(listenFd_, QSocketNotifier::Read, root_.get());
    QObject::connect(listenNotifier_, &QSocketNotifier::activated, root_.get(), [this] { acceptPeers(); });
}

void InstanceHandOver::acceptPeers()
{
    for (int i = 0; i < kAcceptsPerWakeUp && listening(); ++i) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                // Out of descriptors: the connection stays queued; look again a little later
                // instead of waking up at once for it.
                listenNotifier_->setEnabled(false);
                QTimer::singleShot(100, listenNotifier_, [notifier = listenNotifier_] { notifier->setEnabled(true); });
            }
            return;
        }
        if (peers_.size() >= limits_.peers) {
            ::close(fd);
            continue;
        }
        auto* peer = new Peer(fd, root_.get());
        peers_.push_back(peer);
        QObject::connect(&peer->notifier, &QSocketNotifier::activated, peer, [this, peer] { readPeer(*peer); });
        QObject::connect(&peer->timer, &QTimer::timeout, peer, [this, peer] { dropPeer(*peer); });
        peer->timer.start(limits_.request);
    }
}

void InstanceHandOver::readPeer(Peer& peer)
{
    char buffer[kReadPerWakeUp];
    const ssize_t got = ::recv(peer.fd, buffer, sizeof(buffer), 0);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return;
    if (got <= 0) {
        dropPeer(peer);
        return;
    }
    peer.pending.append(buffer, static_cast<std::size_t>(got));
    // Every complete line that has come: a close request may follow other lines in one write.
    for (std::size_t end; (end = peer.pending.find('\n')) != std::string::npos;) {
        if (end + 1 > limits_.line)
            break;
        const bool close = std::string_view(peer.pending).substr(0, end + 1) == kCloseRequest;
        peer.pending.erase(0, end + 1);
        if (close) {
            answer(peer);
            return;
        }
    }
    if (peer.pending.size() >= limits_.line)
        dropPeer(peer);
}

void InstanceHandOver::answer(Peer& peer)
{
    peer.notifier.setEnabled(false);
    peer.timer.stop();
    // A request that waited while the window was being created may have been given up.
    pollfd state{peer.fd, POLLRDHUP, 0};
    const bool gone = ::poll(&state, 1, 0) > 0 && (state.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
    if (gone) {
        dropPeer(peer);
        return;
    }
    bool closed = false;
    // A second request while the first one's close handling shows a box is told "still open".
    if (!closing_ && closeWindow_) {
        closing_ = true;
        closed = closeWindow_();
        closing_ = false;
    }
    // The name is given up before the answer: the requesting copy takes it over on reading it.
    if (closed)
        stopListening(peer);
    sendAll(peer.fd, closed ? kClosedAnswer : kStillOpenAnswer);
    dropPeer(peer);
}

void InstanceHandOver::dropPeer(Peer& peer)
{
    if (peer.fd < 0)
        return;
    peer.notifier.setEnabled(false);
    peer.timer.stop();
    ::close(peer.fd);
    peer.fd = -1;
    peers_.erase(std::remove(peers_.begin(), peers_.end(), &peer), peers_.end());
    // Deleted once its own signal has returned.
    peer.deleteLater();
}

void InstanceHandOver::stopListening(const Peer& answered)
{
    if (listenNotifier_ != nullptr) {
        listenNotifier_->setEnabled(false);
        listenNotifier_->deleteLater();
        listenNotifier_ = nullptr;
    }
    if (listening()) {
        ::close(listenFd_);
        listenFd_ = -1;
    }
    for (Peer* other : std::vector<Peer*>(peers_))
        if (other != &answered)
            dropPeer(*other);
}

InstanceHandOver::Outcome handOverAtStart(InstanceHandOver& handOver, WindowDialogs& dialogs, milliseconds timeout)
{
    const InstanceHandOver::Outcome outcome = handOver.start(timeout);
    if (outcome == InstanceHandOver::Outcome::StayedOpen)
        dialogs.showError(errorBoxText(kStillRunningMessage));
    return outcome;
}

} // namespace kven
