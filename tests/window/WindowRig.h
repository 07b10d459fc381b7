#pragma once
// A fresh main window per test: its own data folder with a settings file, the scripted
// engine delivering its end-of-stream events through the Qt event loop, dialogs and a
// clipboard that answer in advance, and a waiter that records instead of sleeping.

#include "support/AnsweringDialogs.h"
#include "support/ScriptedEngine.h"
#include "support/Sjis.h"
#include "text/Cp932.h"
#include "window/MainWindow.h"
#include "window/QtDesktop.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kven::testing {

class FixedClipboard : public Clipboard {
public:
    std::string contents;
    std::string text() const override { return contents; }
};

// Counts the pauses; they pass at once, or on a timer of the event loop as the window's do
// once `onTimer` is set.
class CountingWaiter : public Waiter {
public:
    void after(int milliseconds, std::function<void()> then) override
    {
        ++waits;
        if (onTimer)
            QTimer::singleShot(milliseconds, QCoreApplication::instance(), std::move(then));
        else
            then();
    }
    int waits = 0;
    bool onTimer = false;
};

// Settings with the talk symbols 、。 and the skip entry 広告; `extra` lines come first.
std::string settingsFile(const std::string& extraUtf8 = "[Voice]=0\r\n[Speed]=0\r\n");

struct WindowRig {
    // The data folder only; create() makes the window.
    explicit WindowRig(const std::string& settingsUtf8 = settingsFile(), bool withBookmarkFile = true);
    ~WindowRig();

    // The window, started with `args` as its command line; returns it.
    MainWindow& create(std::vector<std::string> args = {});

    // Writes a Shift_JIS file (from UTF-8) into the data folder and returns its full path.
    std::string writeDocument(const std::string& name, const std::string& utf8) const;
    std::string path(const std::string& name) const;
    std::string readFile(const std::string& name) const;

    // Ends every utterance the engine is speaking and lets the event loop deliver the events.
    void finishUtterances();
    // Runs the events that are already queued.
    static void deliver();
    std::vector<std::string> said() const;

    QTemporaryDir home;
    AnsweringDialogs dialogs;
    QtEventPoster poster{*QCoreApplication::instance(), [this](const std::string& m) { dialogs.showError(m); }};
    ScriptedEngine engine{poster};
    FixedClipboard clipboard;
    CountingWaiter waiter;
    std::unique_ptr<MainWindow> form;
};

} // namespace kven::testing
