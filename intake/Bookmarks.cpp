#include "intake/Bookmarks.h"

#include "files/Errors.h"
#include "files/FileIo.h"
#include "files/Paths.h"
#include "text/Sjis.h"
#include "text/TextOps.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace kven {

namespace {

// The position field is read from at most this many bytes after the first comma.
constexpr std::size_t kPositionFieldMax = 99;

} // namespace

Bookmarks::Bookmarks(WindowState& window, SharedState& shared, std::string filePath)
    : window_(window), shared_(shared), filePath_(std::move(filePath))
{
}

void Bookmarks::lookup()
{
    std::string data;
    if (readWholeFile(filePath_, kSmallFileLimit, data) != ReadStatus::ok)
        throw KvenError(msgCannotOpen(filePath_));
    const std::vector<std::string> lines = splitLines(data);

    const std::string& path = shared_.currentPath;
    for (const std::string& line : lines) {
        if (!contains(line, path))
            continue;
        const std::size_t comma = findOffset(line, ",");
        const std::size_t from = comma == npos ? 0 : comma + 1;
        const int position = lenientInt(std::string_view(line).substr(from, kPositionFieldMax));
        // A hand-edited negative position means the start, not a wrapped-around offset.
        window_.setSelStart(static_cast<std::size_t>(std::max(position, 0)));
        window_.setSelLength(0);
    }
}

void Bookmarks::Closing()
{
    const std::string& path = shared_.currentPath;
    if (path.empty() || contains(path, kTemporaryInternetFiles))
        return;

    std::string data;
    if (readWholeFile(filePath_, kSmallFileLimit, data) != ReadStatus::ok) {
        std::error_code ec;
        const auto status = std::filesystem::status(filePath_, ec);
        // Only a file that is not there yet counts as empty; one that exists but cannot be
        // read (or is too large to read) would lose every other line if it were rewritten.
        if (status.type() != std::filesystem::file_type::not_found)
            throw KvenError(msgCannotOpen(filePath_));
        data.clear();
    }

    std::vector<std::string> scratch;
    for (std::string& line : splitLines(data)) {
        if (!contains(line, path))
            scratch.push_back(std::move(line));
    }
    scratch.push_back(path + "," + std::to_string(window_.selStart()));

    if (!writeFileAtomic(filePath_, joinLinesCrLf(scratch)))
        throw KvenError(msgCannotCreate(filePath_));
}

} // namespace kven
