#pragma once
// The modal dialogs and the clipboard the logic reaches the user through. The window shows
// real ones; tests and the command-line reader answer in advance.

#include <optional>
#include <string>

namespace kven {

// What the loader and the settings commands ask.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Confirmation box (caption "確認", buttons "OK" and "キャンセル"); true only for OK.
    // `text` is UTF-8.
    virtual bool confirm(const std::string& text) = 0;
    // Open dialog starting in `initialFolder`; the chosen file's full path, or nothing when
    // the user cancels.
    virtual std::optional<std::string> chooseFile(const std::string& initialFolder) = 0;
};

// What the export dialog gives: the file, whose extension names the format, and whether to
// write one file per chapter.
struct ExportChoice {
    std::string path; // UTF-8
    bool split = false;
};

// What the main window asks besides: the input box, the export dialog and the message boxes.
class WindowDialogs : public Dialogs {
public:
    // The export dialog, starting with the file `suggested`; nothing when the user cancels.
    virtual std::optional<ExportChoice> chooseExport(const std::string& suggested) = 0;
    // An information box: information icon, OK, the application's title as caption. UTF-8.
    virtual void showInfo(const std::string& message) = 0;
    // The end of an export: an information box like showInfo's, with a button that opens
    // `folder`, where the files are, in the desktop's file manager. UTF-8.
    virtual void showExported(const std::string& message, const std::string& folder) = 0;
    // Modal input box: caption, prompt and a one-line field that starts empty and takes at
    // most `maxLength` characters. The text on OK, nothing on cancel. UTF-8.
    virtual std::optional<std::string> inputText(const std::string& caption, const std::string& prompt,
                                                 int maxLength) = 0;
    // The standard error box: error icon, OK, the application's title as caption. UTF-8.
    virtual void showError(const std::string& message) = 0;
    // The same box with `detail` (why, and what to do) below the message.
    virtual void showError(const std::string& message, const std::string& detail) = 0;
    // What becomes of edits not yet saved when their editor is closed.
    enum class UnsavedEdits { save, discard, keepEditing };
    // A question box: question icon, the application's title as caption, `message` (UTF-8) and
    // the buttons "保存", "破棄" and "キャンセル" (keep editing, also the answer of Escape).
    virtual UnsavedEdits askUnsavedEdits(const std::string& message) = 0;
};

class Clipboard {
public:
    virtual ~Clipboard() = default;
    // The clipboard's text, UTF-8; empty when it holds none.
    virtual std::string text() const = 0;
};

} // namespace kven
