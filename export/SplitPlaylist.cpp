#include "export/SplitPlaylist.h"

#include "export/Lyrics.h"
#include "export/StaleTemporaries.h"
#include "files/FileIo.h"
#include "files/Paths.h"
#include "speech/Wav.h"
#include "text/TextOps.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <sys/stat.h>

namespace kven {
namespace {

// The line that marks a playlist as a split export's: only such a playlist's files are ours to
// replace or keep.
constexpr std::string_view kExportMark = "#KVEN-EXPORT";
// Before a chapter's entry: "KEY SAMPLES BYTES LYRICS" (KEY "-" when unknown, LYRICS 1 or 0).
constexpr std::string_view kChapterMark = "#KVEN-CHAPTER:";

bool isRegularOfSize(const std::string& path, std::optional<std::uint64_t> bytes)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           (!bytes || static_cast<std::uint64_t>(st.st_size) == *bytes);
}

// The file of `entry` and its text track are in `folder`, the file of the size recorded.
bool whole(const std::string& folder, const ChapterEntry& entry)
{
    return !entry.key.empty() && isRegularOfSize(inFolder(folder, entry.name), entry.bytes) &&
           (!entry.lyrics || isRegularOfSize(inFolder(folder, lyricsPathOf(entry.name)), std::nullopt));
}

bool moveInto(const std::string& from, const std::string& to, const ChapterEntry& entry)
{
    const auto move = [&](const std::string& name) {
        return ::rename(inFolder(from, name).c_str(), inFolder(to, name).c_str()) == 0;
    };
    return move(entry.name) && (!entry.lyrics || move(lyricsPathOf(entry.name)));
}

} // namespace

std::string playlistText(const std::vector<ChapterEntry>& entries)
{
    std::string text = "#EXTM3U\n" + std::string(kExportMark) + "\n";
    for (const ChapterEntry& entry : entries) {
        if (!entry.key.empty() || entry.lyrics)
            text += std::string(kChapterMark) + (entry.key.empty() ? "-" : entry.key) + " " +
                    std::to_string(entry.samples) + " " + std::to_string(entry.bytes) +
                    (entry.lyrics ? " 1\n" : " 0\n");
        const auto seconds = std::llround(static_cast<double>(entry.samples) / kSampleRate);
        text += "#EXTINF:" + std::to_string(seconds) + "," + entry.title + "\n" + entry.name + "\n";
    }
    return text;
}

std::vector<ChapterEntry> readPlaylist(const std::string& path)
{
    std::string playlist;
    if (readWholeFile(path, kSmallFileLimit, playlist) != ReadStatus::ok)
        return {};
    const std::vector<std::string> lines = splitLines(playlist);
    if (std::find(lines.begin(), lines.end(), kExportMark) == lines.end())
        return {};
    std::vector<ChapterEntry> entries;
    ChapterEntry next;
    for (const std::string& line : lines) {
        if (line.starts_with(kChapterMark)) {
            std::istringstream fields(line.substr(kChapterMark.size()));
            int lyrics = 0;
            if (!(fields >> next.key >> next.samples >> next.bytes >> lyrics))
                next = {};
            next.lyrics = lyrics == 1;
            if (next.key == "-")
                next.key.clear();
        } else if (line.starts_with("#EXTINF:") && line.find(',') != std::string::npos) {
            next.title = line.substr(line.find(',') + 1);
        } else if (!line.starts_with('#') && line.find('/') == std::string::npos && isChapterFileName(line)) {
            next.name = line;
            entries.push_back(std::move(next));
            next = {};
        }
    }
    return entries;
}

std::string keyOf(const std::vector<std::string_view>& parts)
{
    std::uint64_t hash = 14695981039346656037ULL;
    const auto add = [&hash](std::string_view bytes) {
        for (const char c : bytes) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 1099511628211ULL;
        }
    };
    for (const std::string_view part : parts) {
        add(std::to_string(part.size()) + ":");
        add(part);
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

EarlierFiles gatherKeptFiles(const std::string& real, const std::string& listName, const std::string& staging,
                             const std::function<bool(const ChapterEntry&)>& wanted)
{
    EarlierFiles earlier;
    for (const ChapterEntry& entry : readPlaylist(inFolder(real, listName)))
        if (whole(real, entry))
            earlier.kept[entry.name] = {entry, real};
    namespace fs = std::filesystem;
    const std::string_view target = fileNameOf(real);
    for (const std::string& folder : {folderHolding(real), real}) {
        std::error_code error;
        for (auto it = fs::directory_iterator(folder, error); !error && it != fs::directory_iterator();
             it.increment(error)) {
            const std::string name = it->path().filename().string();
            const std::optional<TemporaryName> temporary = readTemporaryName(name);
            std::error_code ignored;
            if (!temporary || !temporary->writerGone || temporary->target != target ||
                !fs::is_directory(it->symlink_status(ignored)) || it->path().string() == staging)
                continue;
            const std::string stopped = it->path().string();
            // What goes on staying in the folder is listed there again, so that it stays usable.
            std::vector<ChapterEntry> left;
            for (const ChapterEntry& entry : readPlaylist(inFolder(stopped, listName))) {
                if (!whole(stopped, entry))
                    continue;
                if (wanted(entry) && moveInto(stopped, staging, entry))
                    earlier.kept[entry.name] = {entry, staging};
                else
                    left.push_back(entry);
            }
            if (!left.empty()) {
                if (!writeFileAtomic(inFolder(stopped, listName), playlistText(left)))
                    continue;
                earlier.setAside += left.size();
                earlier.spared.insert(stopped);
            }
        }
    }
    return earlier;
}

} // namespace kven
