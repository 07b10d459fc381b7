#pragma once
// The editor of the reading dictionary KVEN.dic: a small dialog of the main window that does
// not block it, so reading goes on while the user edits. Save writes the file atomically and
// then runs `saved`, which puts the new dictionary to use from the next chunk. Edits not yet
// saved are never lost without asking: closing the editor asks whether to save them.

#include "state/DialogsAndClipboard.h"

#include <QDialog>

#include <functional>
#include <string>

class QPlainTextEdit;
class QPushButton;

namespace kven {

class DictionaryEditor : public QDialog {
public:
    DictionaryEditor(QWidget* parent, std::string path, WindowDialogs& dialogs, std::function<void()> saved);

    // Shows the file as it is now; a missing file is an empty one. False, with the error shown,
    // when the file cannot be read: the dialog then stays closed, so a save cannot replace a
    // file whose text it never had. An editor already open with unsaved edits keeps them.
    bool openFile();
    // Writes the text; false when it failed, the error shown and the file as it was.
    bool save();

    // Every way of closing (the close button, the title bar, Escape) comes here: with unsaved
    // edits it asks first, and stays open when told to keep editing or when saving failed.
    void reject() override;

    QPlainTextEdit* text = nullptr;
    QPushButton* saveButton = nullptr;
    QPushButton* closeButton = nullptr;

private:
    std::string path_;
    WindowDialogs& dialogs_;
    std::function<void()> saved_;
};

} // namespace kven
