#pragma once
// A file dropped on the window or its editor opens as if the user had chosen it in the Open
// dialog, so a drop loads exactly as Open does; on the editor it is never inserted as text.

#include "state/DialogsAndClipboard.h"

#include <QObject>

#include <functional>
#include <optional>
#include <string>

namespace kven {

// The Open dialog as the loader sees it: a dropped file is handed over as the dialog's answer.
class OpenDialogWithDrop : public Dialogs {
public:
    explicit OpenDialogWithDrop(Dialogs& dialogs) : dialogs_(dialogs) {}
    bool confirm(const std::string& text) override { return dialogs_.confirm(text); }
    std::optional<std::string> chooseFile(const std::string& initialFolder) override;
    std::optional<std::string> dropped;

private:
    Dialogs& dialogs_;
};

// Watches the drag-and-drop events of the window and of the editor's viewport and hands the
// local file of a drop to `open`.
class FileDrop : public QObject {
public:
    FileDrop(QWidget& window, QWidget& editorViewport, std::function<void(const std::string&)> open);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& window_;
    QWidget& editor_;
    std::function<void(const std::string&)> open_;
};

} // namespace kven
