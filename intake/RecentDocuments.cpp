#include "intake/RecentDocuments.h"

#include "files/FileIo.h"
#include "files/Paths.h"
#include "text/Cp932.h"
#include "text/TextOps.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <set>

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

} // namespace

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
    std::vector<RecentDocument> recent;
    std::set<std::string> seen;
    for (auto line = lines.rbegin(); line != lines.rend() && recent.size() < count; ++line) {
        const auto& [path, position] = *line;
        if (contains(path, kTemporaryInternetFiles) || !seen.insert(path).second)
            continue;
        RecentDocument document{cp932::toUtf8(path), position, std::nullopt};
        if (const auto found = lengths.find(path); found != lengths.end())
            document.length = found->second;
        recent.push_back(std::move(document));
    }
    return recent;
}

void recordTextLength(const std::string& bookmarkFile, const std::vector<std::string>& bookmarkLines,
                      std::string_view path, std::size_t length)
{
    std::set<std::string> named;
    for (const std::string& line : bookmarkLines)
        if (auto bookmark = bookmarkOf(line))
            named.insert(std::move(bookmark->first));
    std::map<std::string, std::size_t> lengths = readLengths(lengthsFileOf(bookmarkFile));
    lengths[std::string(path)] = length;
    std::vector<std::string> lines;
    for (const auto& [each, size] : lengths)
        if (named.contains(each))
            lines.push_back(each + "\t" + std::to_string(size));
    (void)writeFileAtomic(lengthsFileOf(bookmarkFile), joinLinesCrLf(lines));
}

} // namespace kven
