#pragma once
// Dialogs answered in advance: every confirmation gets `answer`, the Open dialog takes the
// next of `files` (none left cancels). What was asked is recorded.

#include "app/Dialogs.h"

#include <deque>
#include <string>
#include <vector>

namespace kven::testing {

class AnsweringDialogs : public Dialogs {
public:
    bool answer = true;
    std::deque<std::string> files;
    std::vector<std::string> asked;   // confirmation texts, in order
    std::vector<std::string> folders; // initial folders of the Open dialog, in order

    bool confirm(const std::string& text) override
    {
        asked.push_back(text);
        return answer;
    }
    std::optional<std::string> chooseFile(const std::string& initialFolder) override
    {
        folders.push_back(initialFolder);
        if (files.empty())
            return std::nullopt;
        std::string next = std::move(files.front());
        files.pop_front();
        return next;
    }
};

} // namespace kven::testing
