#pragma once
// The real desktop behind the window's seams: Qt's dialogs and message boxes, the system
// clipboard, and the main thread's event loop for the speech back ends.

#include "reading/Waiter.h"
#include "speech/EventLoop.h"
#include "state/DialogsAndClipboard.h"

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

namespace kven {

// Qt's own dialogs and message boxes speak Japanese, like the window (Qt's translations), and
// the application's font is the window's Japanese one at the desktop's size.
void useJapaneseDialogs(QCoreApplication& app);

class QtDialogs : public WindowDialogs {
public:
    // Dialogs are centred on `parent` once it is set.
    void setParent(QWidget* parent) { parent_ = parent; }

    bool confirm(const std::string& text) override;
    std::optional<std::string> chooseFile(const std::string& initialFolder) override;
    std::optional<std::string> inputText(const std::string& caption, const std::string& prompt, int maxLength) override;
    std::optional<ExportChoice> chooseExport(const std::string& suggested) override;
    void showError(const std::string& message) override;
    void showError(const std::string& message, const std::string& detail) override;
    void showInfo(const std::string& message) override;
    void showExported(const std::string& message, const std::string& folder) override;
    UnsavedEdits askUnsavedEdits(const std::string& message) override;

private:
    QPointer<QWidget> parent_;
};

// Opens `folder` in the desktop's file manager; `failed` runs, maybe later, when nothing could.
void openFolder(const QString& folder, std::function<void()> failed);

class QtClipboard : public Clipboard {
public:
    std::string text() const override;
};

// Tasks posted from any thread run on the thread of `context` (the main thread), queued. A
// task that fails (a speech back end reporting a failure after Speak returned) never throws
// through Qt's event loop: `report` gets the error box text and the loop goes on.
class QtEventPoster : public EventPoster {
public:
    QtEventPoster(QObject& context, std::function<void(const std::string& message)> report)
        : context_(context), report_(std::move(report))
    {
    }
    void post(std::function<void()> task) override;

private:
    QObject& context_;
    std::function<void(const std::string&)> report_;
};

// The pause before an utterance on a timer of the same event loop, so that the window answers
// all through it. What runs after it reports its failure as a posted task does.
class QtTimerWaiter : public Waiter {
public:
    QtTimerWaiter(QObject& context, std::function<void(const std::string& message)> report)
        : context_(context), report_(std::move(report))
    {
    }
    void after(int milliseconds, std::function<void()> then) override;

private:
    QObject& context_;
    std::function<void(const std::string&)> report_;
};

} // namespace kven
