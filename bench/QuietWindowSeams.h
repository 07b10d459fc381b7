#pragma once
// The window's seams for a measurement that runs it unattended: dialogs that ask nothing and
// answer no (errors go to standard error), and a clipboard with nothing in it.

#include "window/MainWindow.h"

#include <cstdio>
#include <optional>
#include <string>

namespace kven {

class SilentDialogs : public WindowDialogs {
public:
    bool confirm(const std::string&) override { return false; }
    std::optional<std::string> chooseFile(const std::string&) override { return std::nullopt; }
    std::optional<std::string> inputText(const std::string&, const std::string&, int) override { return {}; }
    std::optional<ExportChoice> chooseExport(const std::string&) override { return std::nullopt; }
    void showError(const std::string& message) override { std::fprintf(stderr, "error: %s\n", message.c_str()); }
    void showError(const std::string& message, const std::string&) override { showError(message); }
    void showInfo(const std::string&) override {}
    void showExported(const std::string&, const std::string&) override {}
    UnsavedEdits askUnsavedEdits(const std::string&) override { return UnsavedEdits::keepEditing; }
};

class EmptyClipboard : public Clipboard {
public:
    std::string text() const override { return {}; }
};

} // namespace kven
