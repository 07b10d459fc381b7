#pragma once
// Dialogs answered in advance, for the logic and for the window. A confirmation takes the
// next of `confirmAnswers`, or `answer` when none is left; the Open dialog and the input box
// take the next of their answers (none left cancels, and keeps unsaved edits). What was asked is recorded.

#include "state/DialogsAndClipboard.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace kven::testing {

class AnsweringDialogs : public WindowDialogs {
public:
    bool answer = true;
    std::deque<bool> confirmAnswers;
    std::deque<std::optional<std::string>> fileAnswers;
    std::deque<std::optional<std::string>> inputAnswers;
    std::deque<std::optional<ExportChoice>> exportAnswers;
    std::deque<UnsavedEdits> unsavedAnswers;

    std::vector<std::string> confirmTexts; // in order
    std::vector<std::string> fileFolders;  // initial folders of the Open dialog
    std::vector<int> inputLimits;
    std::vector<std::string> exportSuggestions;
    std::vector<std::string> errors;        // error box texts
    std::vector<std::string> errorDetails;  // what the boxes with details said below their texts
    std::vector<std::string> infos;         // information box texts
    std::vector<std::string> exportFolders; // what the end of an export offers to open
    std::vector<std::string> unsavedQuestions;

    bool confirm(const std::string& text) override
    {
        confirmTexts.push_back(text);
        return take(confirmAnswers, answer);
    }
    std::optional<std::string> chooseFile(const std::string& initialFolder) override
    {
        fileFolders.push_back(initialFolder);
        return take(fileAnswers, std::optional<std::string>());
    }
    std::optional<std::string> inputText(const std::string&, const std::string&, int maxLength) override
    {
        inputLimits.push_back(maxLength);
        return take(inputAnswers, std::optional<std::string>());
    }
    std::optional<ExportChoice> chooseExport(const std::string& suggested) override
    {
        exportSuggestions.push_back(suggested);
        return take(exportAnswers, std::optional<ExportChoice>());
    }
    void showError(const std::string& message) override { errors.push_back(message); }
    void showError(const std::string& message, const std::string& detail) override
    {
        errors.push_back(message);
        errorDetails.push_back(detail);
    }
    void showInfo(const std::string& message) override { infos.push_back(message); }
    void showExported(const std::string& message, const std::string& folder) override
    {
        infos.push_back(message);
        exportFolders.push_back(folder);
    }
    UnsavedEdits askUnsavedEdits(const std::string& message) override
    {
        unsavedQuestions.push_back(message);
        return take(unsavedAnswers, UnsavedEdits::keepEditing);
    }

private:
    template<class T> static T take(std::deque<T>& answers, T fallback)
    {
        if (answers.empty())
            return fallback;
        T next = std::move(answers.front());
        answers.pop_front();
        return next;
    }
};

} // namespace kven::testing
