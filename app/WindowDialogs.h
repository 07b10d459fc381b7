#pragma once
// What the main window asks of the desktop besides its own controls: the modal dialogs and
// the clipboard. The window shows real ones; tests answer in advance.

#include "app/Dialogs.h"

#include <optional>
#include <string>

namespace kven {

class WindowDialogs : public Dialogs {
public:
    // Modal input box: caption, prompt and a one-line field that starts empty and takes at
    // most `maxLength` characters. The text on OK, nothing on cancel. UTF-8.
    virtual std::optional<std::string> inputText(const std::string& caption, const std::string& prompt,
                                                 int maxLength) = 0;
    // The standard error box: error icon, OK, the application's title as caption. UTF-8.
    virtual void showError(const std::string& message) = 0;
};

class Clipboard {
public:
    virtual ~Clipboard() = default;
    // The clipboard's text, UTF-8; empty when it holds none.
    virtual std::string text() const = 0;
};

} // namespace kven
