#pragma once
// The running copy's side of the hand-over: it listens on the name, reads what the copies that
// connect send, and answers a close request once the window's close handling has run.

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QObject;
class QSocketNotifier;

namespace kven {

// What a connected peer may do before it is dropped. A close request is one short line; a peer
// that sends more, or nothing, is not a copy of this program.
struct HandOverLimits {
    std::size_t peers = 8;                   // connections at once; more are closed at once
    std::size_t line = 64;                   // bytes of a line, its end included
    std::chrono::milliseconds request{3000}; // from connecting to a complete close request
};

class HandOverServer {
public:
    // Listens on a socket made at `path`, where nothing is; nothing when it cannot be made,
    // bound, made owner-only or listened on (a file it made is removed again).
    static std::unique_ptr<HandOverServer> listenOn(const std::string& path, HandOverLimits limits);
    // Drops every peer and stops listening; the socket's file stays.
    ~HandOverServer();
    HandOverServer(const HandOverServer&) = delete;
    HandOverServer& operator=(const HandOverServer&) = delete;

    // False once a close request has closed the window.
    bool listening() const { return listenFd_ >= 0; }

    // See InstanceHandOver::serve.
    void serve(std::function<bool()> closeWindow);

private:
    struct Peer;

    HandOverServer(int listenFd, HandOverLimits limits);
    void acceptPeers();
    void readPeer(Peer& peer);
    void answer(Peer& peer);
    void dropPeer(Peer& peer);
    void stopListening(const Peer& answered);

    HandOverLimits limits_;
    int listenFd_;
    std::function<bool()> closeWindow_;
    bool closing_ = false;
    // Made by serve(), on the event loop's thread; owns the notifiers and the peers.
    std::unique_ptr<QObject> root_;
    QSocketNotifier* listenNotifier_ = nullptr;
    std::vector<Peer*> peers_;
};

} // namespace kven
