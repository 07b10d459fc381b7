#include "intake/Bookmarks.h"

#include "files/Errors.h"
#include "files/FileIo.h"
#include "files/Paths.h"
#include "intake/DocumentOutline.h"
#include "intake/RecentDocuments.h"
#include "text/Sjis.h"
#include "text/TextOps.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace kven {

namespace {

// The position is read from at most this many bytes of its field.
constexpr std::size_t kPositionFieldMax = 99;

// A line break in the path would split its line, and what follows the break could pass for
// another document's line.
bool canHaveBookmark(std::string_view path)
{
    return path.find_first_of("\r\n") == std::string_view::npos;
}

} // namespace

std::optional<std::string_view> bookmarkField(std::string_view line, std::string_view path)
{
    // "," is never the second byte of a Shift_JIS character, so the last one ends the path.
    const std::size_t comma = line.rfind(',');
    if (comma == std::string_view::npos || line.substr(0, comma) != path)
        return std::nullopt;
    return line.substr(comma + 1);
}

Bookmarks::Bookmarks(Session& session, std::string filePath) : session_(session), filePath_(std::move(filePath))
{
}

void Bookmarks::lookup()
{
    if (!canHaveBookmark(session_.document().path))
        return;
    // Temporary files of a writer that was killed go at the next start, the lengths' too.
    removeStaleTemporaries(filePath_);
    removeStaleTemporaries(inFolder(folderOf(filePath_), kLengthsFileName));
    std::string data;
    if (readWholeFile(filePath_, kSmallFileLimit, data) != ReadStatus::ok)
        throw KvenError(msgCannotOpen(filePath_));
    const std::vector<std::string> lines = splitLines(data);

    std::optional<std::string_view> field;
    for (const std::string& line : lines)
        if (const std::optional<std::string_view> own = bookmarkField(line, session_.document().path))
            field = own;
    if (!field)
        return;
    const int position = lenientInt(field->substr(0, kPositionFieldMax));
    // A hand-edited negative position means the start, not a wrapped-around offset.
    session_.setSelStart(static_cast<std::size_t>(std::max(position, 0)));
    session_.setSelLength(0);
}

void Bookmarks::recordPosition()
{
    const std::string& path = session_.document().path;
    if (path.empty() || contains(path, kTemporaryInternetFiles) || !canHaveBookmark(path))
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
        if (!bookmarkField(line, path))
            scratch.push_back(std::move(line));
    }
    scratch.push_back(path + "," + std::to_string(session_.selStart()));

    if (!writeFileAtomic(filePath_, joinLinesCrLf(scratch)))
        throw KvenError(msgCannotCreate(filePath_));
    recordTextLength(filePath_, scratch, path, session_.text().size());
    // A document whose title is only guessed is listed by its file name.
    const Document& document = session_.document();
    recordTitle(filePath_, scratch, path, titleIsKnown(document) ? document.title : std::string(), document.author);
}

} // namespace kven
