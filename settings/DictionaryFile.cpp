#include "settings/DictionaryFile.h"

#include "files/Errors.h"
#include "files/FileIo.h"
#include "text/Cp932.h"
#include "text/TextOps.h"
#include "text/Utf8.h"

#include <algorithm>
#include <sys/stat.h>

namespace kven {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view trimBlanks(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string lineMessage(std::string_view path, std::size_t line, std::string_view what)
{
    return "ファイル " + std::string(path) + " の " + std::to_string(line) + " 行目" + std::string(what);
}

// Shift_JIS for `utf8`, or false when some character has no Shift_JIS form (it would come
// back as "?").
bool toSjis(std::string_view utf8, std::string& sjis)
{
    sjis = cp932::fromUtf8(utf8);
    return std::count(sjis.begin(), sjis.end(), '?') == std::count(utf8.begin(), utf8.end(), '?');
}

} // namespace

DictionaryFile parseDictionaryFile(std::string_view utf8, std::string_view path)
{
    if (utf8.starts_with(kByteOrderMark))
        utf8.remove_prefix(kByteOrderMark.size());
    DictionaryFile file;
    std::size_t unreported = 0;
    const auto problem = [&](std::size_t line, std::string_view what) {
        if (file.problems.size() < kMaxReportedProblems)
            file.problems.push_back(lineMessage(path, line, what));
        else
            ++unreported;
    };
    std::vector<ReadingDictionary::Entry> entries;
    const std::vector<std::string> lines = splitLines(utf8);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const std::string_view line = trimBlanks(lines[n]);
        if (line.empty() || line.starts_with('#'))
            continue;
        const std::size_t eq = line.find('=');
        const std::string_view written =
            eq == std::string_view::npos ? std::string_view() : trimBlanks(line.substr(0, eq));
        if (written.empty() || !utf8::isValid(line)) {
            problem(n + 1, "は「表記=読み」の形ではありません");
            continue;
        }
        const std::string_view reading = trimBlanks(line.substr(eq + 1));
        // A reading is a word's: one without a bound could turn a chunk into gigabytes.
        if (utf8::characterCount(reading) > kMaxReadingLength) {
            problem(n + 1, "の読みが長すぎます (" + std::to_string(kMaxReadingLength) + " 文字まで)");
            continue;
        }
        ReadingDictionary::Entry entry;
        if (!toSjis(written, entry.written) || !toSjis(reading, entry.reading)) {
            problem(n + 1, "には Shift_JIS で書けない文字があります");
            continue;
        }
        entries.push_back(std::move(entry));
    }
    if (unreported > 0)
        file.problems.push_back("ファイル " + std::string(path) + " には、ほかにも " + std::to_string(unreported) +
                                " 行の問題があります");
    file.dictionary = std::make_shared<const ReadingDictionary>(entries);
    return file;
}

DictionaryFile readDictionaryFile(const std::string& path)
{
    std::string data;
    if (readWholeFile(path, kSmallFileLimit, data) == ReadStatus::ok)
        return parseDictionaryFile(data, path);
    DictionaryFile file;
    file.dictionary = std::make_shared<const ReadingDictionary>();
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0)
        file.problems.push_back(msgCannotOpen(path));
    return file;
}

} // namespace kven
