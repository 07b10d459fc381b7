#include "window/DesktopLogout.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace kven {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP};

// The pipe between the handler and the event loop: [0] is read by the loop, [1] written by the
// handler. -1 while no DesktopLogout exists.
int notePipe[2] = {-1, -1};

void noteSignal(int signal)
{
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    // Non-blocking: a pipe full of signals not yet read has noted this one already.
    [[maybe_unused]] const ssize_t written = ::write(notePipe[1], &byte, 1);
    errno = saved;
}

void setHandler(int signal, void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signal, &action, nullptr);
}

} // namespace

DesktopLogout::DesktopLogout(QGuiApplication& app, std::function<void()> end, std::function<void()> save)
    : end_(std::move(end))
{
    if (::pipe2(notePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("kven: no pipe for the end of the session; SIGTERM and SIGHUP will lose the bookmark");
        notePipe[0] = notePipe[1] = -1;
    } else {
        notifier_ = new QSocketNotifier(notePipe[0], QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] { signalled(); });
        for (const int signal : kSignals)
            setHandler(signal, noteSignal);
    }
    connect(&app, &QGuiApplication::commitDataRequest, this, [save](QSessionManager&) { save(); });
    connect(&app, &QCoreApplication::aboutToQuit, this, [save] { save(); });
}

DesktopLogout::~DesktopLogout()
{
    if (notePipe[0] < 0)
        return;
    for (const int signal : kSignals)
        setHandler(signal, SIG_DFL);
    delete notifier_;
    ::close(notePipe[0]);
    ::close(notePipe[1]);
    notePipe[0] = notePipe[1] = -1;
}

void DesktopLogout::signalled()
{
    char bytes[16];
    while (::read(notePipe[0], bytes, sizeof bytes) > 0) {
    }
    end_();
}

} // namespace kven
