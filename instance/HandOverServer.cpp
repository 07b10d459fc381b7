#include "instance/HandOverServer.h"

#include "instance/HandOverProtocol.h"
#include "instance/LocalSocket.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <utility>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kven {

using namespace handover;

namespace {

// Accepted per wake-up, so that a flood of connections cannot hold up the window.
constexpr int kAcceptsPerWakeUp = 32;
constexpr std::size_t kReadPerWakeUp = 512;

} // namespace

struct HandOverServer::Peer : QObject {
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

std::unique_ptr<HandOverServer> HandOverServer::listenOn(const std::string& path, HandOverLimits limits)
{
    Descriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (fd.get() < 0)
        return nullptr;
    if (bindTo(fd.get(), path) != 0)
        return nullptr;
    if (::chmod(path.c_str(), 0600) != 0 || ::listen(fd.get(), static_cast<int>(limits.peers)) != 0) {
        ::unlink(path.c_str());
        return nullptr;
    }
    return std::unique_ptr<HandOverServer>(new HandOverServer(fd.release(), limits));
}

HandOverServer::HandOverServer(int listenFd, HandOverLimits limits) : limits_(limits), listenFd_(listenFd)
{
}

HandOverServer::~HandOverServer()
{
    root_.reset();
    if (listening())
        ::close(listenFd_);
}

void HandOverServer::serve(std::function<bool()> closeWindow)
{
    closeWindow_ = std::move(closeWindow);
    if (!listening() || root_)
        return;
    root_ = std::make_unique<QObject>();
    listenNotifier_ = new QSocketNotifier(listenFd_, QSocketNotifier::Read, root_.get());
    QObject::connect(listenNotifier_, &QSocketNotifier::activated, root_.get(), [this] { acceptPeers(); });
}

void HandOverServer::acceptPeers()
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

void HandOverServer::readPeer(Peer& peer)
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

void HandOverServer::answer(Peer& peer)
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

void HandOverServer::dropPeer(Peer& peer)
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

void HandOverServer::stopListening(const Peer& answered)
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

} // namespace kven
