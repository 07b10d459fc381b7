#pragma once
// The reading dictionary file KVEN.dic of the data folder: UTF-8 text, one word a line as
// "表記=読み" (blanks around either side are dropped); a line that starts with "#" is a comment,
// an empty line is nothing. A line of another form, or with a character that Shift_JIS
// cannot hold, or with a reading longer than kMaxReadingLength characters, is reported once with
// its number and skipped. A missing file is an empty dictionary.

#include "text/ReadingDictionary.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kven {

inline constexpr std::size_t kMaxReadingLength = 256;
// However broken the file, a listener is shown at most this many lines' messages.
inline constexpr std::size_t kMaxReportedProblems = 10;

struct DictionaryFile {
    std::shared_ptr<const ReadingDictionary> dictionary;
    // One message (UTF-8) for each of the first kMaxReportedProblems lines skipped, then one
    // that counts the rest; or one for a file that exists but cannot be read.
    std::vector<std::string> problems;
};

// The dictionary in `utf8`; `path` names the file in the messages.
DictionaryFile parseDictionaryFile(std::string_view utf8, std::string_view path);

// Reads the file at `path` (as the file system names it). Never throws for the file.
DictionaryFile readDictionaryFile(const std::string& path);

} // namespace kven
