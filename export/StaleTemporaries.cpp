#include "export/StaleTemporaries.h"

#include "export/AudioFormats.h"
#include "files/FileIo.h"
#include "files/Paths.h"
#include "text/Utf8.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

namespace kven {
namespace {

// A temporary whose writer this machine does not know may be written by a copy on another machine
// or in another container, and that copy writes into it all the time: one untouched for a day is
// no one's.
constexpr auto kAbandonedAfter = std::chrono::hours(24);

// Removes a temporary folder of a split export when it holds nothing but chapter files, their text
// tracks, playlists and the temporary files of both, and, given `before`, when nothing in it changed
// since then. Whether it went.
bool removeExportFolder(const std::filesystem::path& folder, std::optional<std::filesystem::file_time_type> before)
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::file_time_type newest = fs::last_write_time(folder, error);
    std::vector<fs::path> files;
    for (auto it = fs::directory_iterator(folder, error); !error && it != fs::directory_iterator();
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        const std::optional<TemporaryName> temporary = readTemporaryName(name);
        const std::string_view made = temporary ? temporary->target : std::string_view(name);
        if (!it->is_regular_file(error) || it->is_symlink(error) ||
            !(isChapterFileName(made) || isChapterLyricsName(made) || isPlaylistName(made)))
            return false;
        newest = std::max(newest, fs::last_write_time(it->path(), error));
        files.push_back(it->path());
    }
    if (error || (before && newest >= *before))
        return false;
    for (const fs::path& file : files)
        fs::remove(file, error);
    return fs::remove(folder, error);
}

} // namespace

bool isChapterFileName(std::string_view name)
{
    for (const AudioFormat format : kAudioFormats) {
        const std::string_view extension = extensionOf(format);
        if (!name.ends_with(extension))
            continue;
        const std::string_view stem = name.substr(0, name.size() - extension.size());
        const std::size_t digits = std::min(stem.find_first_not_of("0123456789"), stem.size());
        return digits >= 2 && (digits == stem.size() || (stem[digits] == ' ' && digits + 1 < stem.size()));
    }
    return false;
}

bool isChapterLyricsName(std::string_view name)
{
    return name.ends_with(".lrc") && isChapterFileName(std::string(name.substr(0, name.size() - 4)) + ".wav");
}

bool isPlaylistName(std::string_view name)
{
    return name.size() > 5 && name.ends_with(".m3u8");
}

std::string folderHolding(std::string_view path)
{
    const std::string_view folder = folderOf(path);
    return folder.empty() ? std::string(".") : std::string(folder);
}

void removeStaleExportTemporaries(const std::string& folder, std::string_view ownTarget,
                                  const std::set<std::string>& spared)
{
    namespace fs = std::filesystem;
    const fs::file_time_type dayAgo = fs::file_time_type::clock::now() - kAbandonedAfter;
    std::error_code error;
    for (auto it = fs::directory_iterator(folder, error); !error && it != fs::directory_iterator();
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        const std::optional<TemporaryName> temporary = readTemporaryName(name);
        if (!temporary || !temporary->writerGone)
            continue;
        std::error_code ignored;
        const fs::file_status status = it->symlink_status(ignored);
        if (fs::is_directory(status)) {
            if (temporary->target == ownTarget && spared.contains(it->path().string()))
                continue;
            removeExportFolder(it->path(), temporary->target == ownTarget ? std::nullopt : std::optional(dayAgo));
        } else if (fs::is_regular_file(status) &&
                   (audioFormatOf(temporary->target) || isPlaylistName(temporary->target)) &&
                   fs::last_write_time(it->path(), ignored) < dayAgo) {
            fs::remove(it->path(), ignored);
        }
    }
}

std::string safeFileName(std::string_view title, std::size_t maxBytes)
{
    std::string name;
    for (const char c : title) {
        const auto u = static_cast<unsigned char>(c);
        const bool unsafe = u < 0x20 || u == 0x7F || std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos;
        name.push_back(unsafe ? '_' : c);
    }
    // A cut never splits a character: back up over continuation bytes.
    if (name.size() > maxBytes) {
        std::size_t cut = maxBytes;
        while (cut > 0 && utf8::isContinuation(name[cut]))
            --cut;
        name.resize(cut);
    }
    const auto blankAt = [&name](std::size_t end) -> std::size_t {
        if (end >= 1 && (name[end - 1] == ' ' || name[end - 1] == '\t' || name[end - 1] == '.'))
            return 1;
        if (end >= 3 && name.compare(end - 3, 3, "\xE3\x80\x80") == 0) // the full-width blank
            return 3;
        return 0;
    };
    while (std::size_t n = blankAt(name.size()))
        name.resize(name.size() - n);
    std::size_t lead = 0;
    while (lead < name.size()) {
        if (name[lead] == ' ' || name[lead] == '\t' || name[lead] == '.')
            lead += 1;
        else if (name.compare(lead, 3, "\xE3\x80\x80") == 0)
            lead += 3;
        else
            break;
    }
    name.erase(0, lead);
    return name;
}

} // namespace kven
