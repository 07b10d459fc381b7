#pragma once
// The modal dialogs the logic asks the user through. The window shows real dialogs; tests
// and the command-line reader answer in advance.

#include <optional>
#include <string>

namespace kven {

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

} // namespace kven
