#include "intake/RecentDocuments.h"

#include "files/FileIo.h"
#include "files/Paths.h"
#include "text/Cp932.h"
#include "text/TextOps.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <tuple>

namespace kven {

namespace {

std::string lengthsFileOf(const std::string& bookmarkFile)
{
    return inFolder(folderOf(bookmarkFile), kLengthsFileName);
}

// The path and position of a bookmark line, or nothing for a line that is no bookmark.
std::optional<std::pair<std::string, std::size_t>> bookmarkOf(const std::string& line)
{
    const std::size_t comma = line.rfind(',');
    if (comma == std::string::npos || comma == 0)
        return std::nullopt;
    const int position = lenientInt(std::string_view(line).substr(comma + 1, 99));
    return std::pair{line.substr(0, comma), static_cast<std::size_t>(std::max(position, 0))};
}

// The bookmark lines as (path, position), oldest first.
std::vector<std::pair<std::string, std::size_t>> bookmarkLines(const std::string& bookmarkFile)
{
    std::string data;
    if (readWholeFile(bookmarkFile, kSmallFileLimit, data) != ReadStatus::ok)
        return {};
    std::vector<std::pair<std::string, std::size_t>> lines;
    for (const std::string& line : splitLines(data))
        if (auto bookmark = bookmarkOf(line))
            lines.push_back(std::move(*bookmark));
    return lines;
}

// path TAB length, one a line.
std::map<std::string, std::size_t> readLengths(const std::string& file)
{
    std::string data;
    std::map<std::string, std::size_t> lengths;
    if (readWholeFile(file, kSmallFileLimit, data) != ReadStatus::ok)
        return lengths;
    for (const std::string& line : splitLines(data)) {
        const std::size_t tab = line.rfind('\t');
        std::size_t length = 0;
        if (tab != std::string::npos &&
            std::from_chars(line.data() + tab + 1, line.data() + line.size(), length).ec == std::errc())
            lengths[line.substr(0, tab)] = length;
    }
    return lengths;
}

std::string titlesFileOf(const std::string& bookmarkFile)
{
    return inFolder(folderOf(bookmarkFile), kTitlesFileName);
}

// path TAB title TAB author, one a line.
using Titles = std::map<std::string, std::pair<std::string, std::string>>;

// Nothing when the file is over the size it is read to: it is then left as it is.
std::optional<Titles> readTitles(const std::string& file)
{
    std::string data;
    Titles titles;
    if (const ReadStatus status = readWholeFile(file, kSmallFileLimit, data); status != ReadStatus::ok) {
        if (status == ReadStatus::tooLarge)
            return std::nullopt;
        return titles;
    }
    // From the right: a path may hold a tab, a title and an author never do.
    for (const std::string& line : splitLines(data)) {
        const std::size_t second = line.rfind('\t');
        const std::size_t first =
            second == std::string::npos || second == 0 ? std::string::npos : line.rfind('\t', second - 1);
        if (first != std::string::npos && second > first + 1)
            titles[line.substr(0, first)] = {line.substr(first + 1, second - first - 1), line.substr(second + 1)};
    }
    return titles;
}

// The paths that the bookmark lines name.
std::set<std::string> namedPaths(const std::vector<std::string>& bookmarkLines)
{
    std::set<std::string> named;
    for (const std::string& line : bookmarkLines)
        if (auto bookmark = bookmarkOf(line))
            named.insert(std::move(bookmark->first));
    return named;
}

// A title or author as one field of a line.
std::string field(std::string_view text)
{
    // A title or an author is kept short, cut at a character, so that the file of titles never
    // grows past what is read back.
    constexpr std::size_t kFieldLimit = 512;
    if (text.size() > kFieldLimit) {
        std::size_t end = kFieldLimit;
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            --end;
        text = text.substr(0, end);
    }
    std::string one(text);
    for (char& c : one)
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    return one;
}

} // namespace

std::string RecentDocument::caption() const
{
    if (title.empty())
        return std::string(fileNameOf(file));
    return author.empty() ? title : title + "（" + author + "）";
}

std::optional<double> RecentDocument::share() const
{
    if (!length || *length == 0)
        return std::nullopt;
    return std::min(1.0, static_cast<double>(position) / static_cast<double>(*length));
}

std::vector<RecentDocument> recentDocuments(const std::string& bookmarkFile, std::size_t count)
{
    const auto lines = bookmarkLines(bookmarkFile);
    const auto lengths = readLengths(lengthsFileOf(bookmarkFile));
    const auto titles = readTitles(titlesFileOf(bookmarkFile)).value_or(Titles{});
    std::vector<RecentDocument> recent;
    std::set<std::string> seen;
    for (auto line = lines.rbegin(); line != lines.rend() && recent.size() < count; ++line) {
        const auto& [path, position] = *line;
        if (contains(path, kTemporaryInternetFiles) || !seen.insert(path).second)
            continue;
        RecentDocument document{cp932::toUtf8(path), position, std::nullopt};
        if (const auto found = lengths.find(path); found != lengths.end())
            document.length = found->second;
        if (const auto found = titles.find(path); found != titles.end())
            std::tie(document.title, document.author) = found->second;
        recent.push_back(std::move(document));
    }
    return recent;
}

void recordTextLength(const std::string& bookmarkFile, const std::vector<std::string>& bookmarkLines,
                      std::string_view path, std::size_t length)
{
    const std::set<std::string> named = namedPaths(bookmarkLines);
    std::map<std::string, std::size_t> lengths = readLengths(lengthsFileOf(bookmarkFile));
    lengths[std::string(path)] = length;
    std::vector<std::string> lines;
    for (const auto& [each, size] : lengths)
        if (named.contains(each))
            lines.push_back(each + "\t" + std::to_string(size));
    (void)writeFileAtomic(lengthsFileOf(bookmarkFile), joinLinesCrLf(lines));
}

void recordTitle(const std::string& bookmarkFile, const std::vector<std::string>& bookmarkLines, std::string_view path,
                 std::string_view title, std::string_view author)
{
    const std::set<std::string> named = namedPaths(bookmarkLines);
    auto read = readTitles(titlesFileOf(bookmarkFile));
    if (!read)
        return;
    auto& titles = *read;
    const std::string key(path);
    if (field(title).find_first_not_of(' ') == std::string::npos)
        titles.erase(key);
    else
        titles[key] = {field(title), field(author)};
    std::vector<std::string> lines;
    for (const auto& [each, known] : titles)
        if (named.contains(each))
            lines.push_back(each + "\t" + known.first + "\t" + known.second);
    // No file for a user who never read a book with a known title.
    std::error_code error;
    if (lines.empty() && !std::filesystem::exists(titlesFileOf(bookmarkFile), error))
        return;
    (void)writeFileAtomic(titlesFileOf(bookmarkFile), joinLinesCrLf(lines));
}

} // namespace kven
