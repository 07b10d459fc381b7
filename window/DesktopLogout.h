#pragma once
// The end of the user's session, however it comes: SIGTERM or SIGHUP (the session manager at
// logout, the system at shutdown, a terminal that went away), the session manager asking the
// program to save, or the application quitting with the window still open. A signal is only
// noted by its handler (one byte into a pipe); the event loop reads it and ends the program
// there, so no file is written inside a signal handler.

#include <QObject>

#include <functional>

class QGuiApplication;
class QSocketNotifier;

namespace kven {

class DesktopLogout : public QObject {
public:
    // `end` runs on the event loop for SIGTERM and SIGHUP and should close the window and leave
    // the event loop; `save` runs when the session manager asks for the program's data and when
    // the application is about to quit. One at a time: the handlers are the process's.
    DesktopLogout(QGuiApplication& app, std::function<void()> end, std::function<void()> save);
    // Gives SIGTERM and SIGHUP their default actions back.
    ~DesktopLogout() override;
    DesktopLogout(const DesktopLogout&) = delete;
    DesktopLogout& operator=(const DesktopLogout&) = delete;

private:
    void signalled();

    std::function<void()> end_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace kven
