#include "export/ChapterFiles.h"

#include "export/EncoderSinks.h"
#include "export/StaleTemporaries.h"
#include "files/Errors.h"
#include "files/FileIo.h"
#include "files/Paths.h"
#include "text/TextOps.h"
#include "text/Utf8.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace kven {
namespace {

// The line that marks a playlist as a split export's: only such a playlist's files are ours to
// replace. Players pass over a comment line.
constexpr std::string_view kExportMark = "#KVEN-EXPORT";

// The chapter files that the playlist of a split export at `path` lists by bare name; none when
// it cannot be read or is not an export's.
std::vector<std::string> listedChapterFiles(const std::string& path)
{
    std::string playlist;
    if (readWholeFile(path, kSmallFileLimit, playlist) != ReadStatus::ok)
        return {};
    const std::vector<std::string> lines = splitLines(playlist);
    if (std::find(lines.begin(), lines.end(), kExportMark) == lines.end())
        return {};
    std::vector<std::string> names;
    for (const std::string& line : lines)
        if (!line.starts_with('#') && line.find('/') == std::string::npos && isChapterFileName(line))
            names.push_back(line);
    return names;
}

class ChapterFiles final : public ExportTarget {
public:
    ChapterFiles(std::string folder, AudioFormat format, std::vector<ChapterFile> chapters, AudioTags tags,
                 std::optional<int> bitrate)
        : folder_(std::move(folder)), format_(format), chapters_(std::move(chapters)), tags_(std::move(tags)),
          bitrate_(bitrate)
    {
        if (chapters_.empty())
            chapters_.push_back({tags_.album});
        std::size_t digits = std::to_string(chapters_.size()).size();
        width_ = std::max<std::size_t>(2, digits);
        namespace fs = std::filesystem;
        std::error_code error;
        const fs::file_status status = fs::status(folder_, error);
        if (fs::exists(status)) {
            if (!fs::is_directory(status))
                throw KvenError(msgNotRegularFolder());
        } else {
            if (!fs::create_directory(folder_, error))
                throw KvenError(msgCannotCreate(folder_));
            createdFolder_ = true;
        }
        try {
            makeStaging();
        } catch (...) {
            removeWhatWasMade();
            throw;
        }
    }

    ~ChapterFiles() override
    {
        files_.clear();
        removeWhatWasMade();
    }

    void append(std::size_t chapter, const Samples& samples) override
    {
        chapter = std::min(chapter, chapters_.size() - 1);
        if (!current_ || chapter != *current_)
            open(chapter);
        files_.back().sink->append(samples);
    }

    void finish() override
    {
        // A document with nothing to say still gives its one file.
        if (files_.empty())
            open(0);
        files_.back().sink->seal();
        std::string playlist = "#EXTM3U\n" + std::string(kExportMark) + "\n";
        for (const File& file : files_) {
            const auto seconds = std::llround(static_cast<double>(file.sink->sampleCount()) / kSampleRate);
            playlist += "#EXTINF:" + std::to_string(seconds) + "," + file.title + "\n" + file.name + "\n";
        }
        std::string name = safeFileName(std::filesystem::path(folder_).lexically_normal().filename().string());
        const std::string listName = (name.empty() ? "playlist" : name) + ".m3u8";
        const std::string path = inFolder(folder_, listName);
        // Everything written and on the disk first: what is left are the renames, so a full disk
        // cannot leave some files of this export among those of an earlier one.
        AtomicFile list(inFolder(staging_, listName));
        if (list.open() != AtomicFile::Opened::ok || !list.write(playlist) || !list.seal())
            throw KvenError(msgWriteFailed(path));
        for (File& file : files_)
            file.sink->commit();
        if (!list.commit())
            throw KvenError(msgCannotCreate(path));
        // The chapters, then the playlist that lists them, then the chapter files of the earlier
        // export that these did not replace: at no moment does a playlist list a missing file.
        // The earlier export's files are the ones its playlist lists; nothing else is touched.
        const std::vector<std::string> earlier = listedChapterFiles(inFolder(real_, listName));
        // Something in the way that no rename may replace fails the export before the first.
        std::vector<std::string> names{listName};
        for (const File& file : files_)
            names.push_back(file.name);
        for (const std::string& each : names) {
            struct stat st {};
            if (::lstat(inFolder(real_, each).c_str(), &st) == 0 && !S_ISREG(st.st_mode))
                throw KvenError(msgCannotCreate(inFolder(folder_, each)));
        }
        std::set<std::string, std::less<>> made;
        for (const File& file : files_)
            moveIn(file.name, made);
        moveIn(listName, made);
        for (const std::string& old : earlier) {
            std::error_code ignored;
            const std::string oldPath = inFolder(real_, old);
            if (!made.contains(old) &&
                std::filesystem::is_regular_file(std::filesystem::symlink_status(oldPath, ignored)))
                std::filesystem::remove(oldPath, ignored);
        }
        syncFolder(real_);
        finished_ = true;
        removeWhatWasMade();
    }

private:
    struct File {
        std::unique_ptr<AudioSink> sink;
        std::string name;
        std::string title;
    };

    std::string msgNotRegularFolder() const { return "フォルダー " + folder_ + " を作成できません"; }

    // The files are made in a folder of their own and moved into `folder_` once all are complete:
    // beside it, so that the moves are renames, or inside it where it is a file system of its
    // own or the folder that holds it cannot be written.
    void makeStaging()
    {
        std::error_code error;
        const std::filesystem::path real = std::filesystem::canonical(folder_, error);
        real_ = error ? folder_ : real.string();
        const std::string name(fileNameOf(real_));
        removeStaleExportTemporaries(folderHolding(real_), name);
        removeStaleExportTemporaries(real_, name);
        // Else the export would fail only at its end.
        if (::access(real_.c_str(), W_OK | X_OK) != 0)
            throw KvenError(msgCannotCreate(folder_));
        staging_ = makeTemporaryFolder(real_);
        struct stat target {};
        struct stat staging {};
        if (!staging_.empty() && (::stat(real_.c_str(), &target) != 0 || ::stat(staging_.c_str(), &staging) != 0 ||
                                  target.st_dev != staging.st_dev)) {
            ::rmdir(staging_.c_str());
            staging_.clear();
        }
        if (staging_.empty())
            staging_ = makeTemporaryFolder(inFolder(real_, name));
        if (staging_.empty())
            throw KvenError(msgCannotCreate(folder_));
    }

    void moveIn(const std::string& name, std::set<std::string, std::less<>>& made)
    {
        const std::string from = inFolder(staging_, name);
        const std::string to = inFolder(real_, name);
        // A file replaced keeps what it allowed, as with AtomicFile.
        struct stat old {};
        if (::lstat(to.c_str(), &old) == 0 && S_ISREG(old.st_mode))
            ::chmod(from.c_str(), old.st_mode & 0777);
        if (::rename(from.c_str(), to.c_str()) != 0)
            throw KvenError(msgCannotCreate(inFolder(folder_, name)));
        made.insert(name);
    }

    // The temporary folder with whatever is still in it, and the folder when this export made it
    // and does not complete (only when nothing else is in it).
    void removeWhatWasMade() noexcept
    {
        std::error_code ignored;
        if (!staging_.empty())
            std::filesystem::remove_all(staging_, ignored);
        staging_.clear();
        if (createdFolder_ && !finished_)
            std::filesystem::remove(folder_, ignored);
    }

    void open(std::size_t chapter)
    {
        if (!files_.empty())
            files_.back().sink->seal();
        const int track = static_cast<int>(files_.size()) + 1;
        std::string number = std::to_string(track);
        number.insert(0, width_ > number.size() ? width_ - number.size() : 0, '0');
        const std::string& title = chapters_[chapter].title;
        const std::string safe = safeFileName(title);
        const std::string name = (safe.empty() ? number : number + " " + safe) + extensionOf(format_);
        AudioTags tags = tags_;
        tags.title = title;
        tags.track = track;
        files_.push_back(
            {makeAudioSink(inFolder(staging_, name), inFolder(folder_, name), format_, tags, bitrate_), name, title});
        current_ = chapter;
    }

    std::string folder_;
    std::string real_;    // folder_ after its links, where the files are moved to
    std::string staging_; // where they are made
    AudioFormat format_;
    std::vector<ChapterFile> chapters_;
    AudioTags tags_;
    std::optional<int> bitrate_;
    std::size_t width_ = 2;
    bool createdFolder_ = false;
    bool finished_ = false;
    std::vector<File> files_;
    std::optional<std::size_t> current_;
};

} // namespace

std::unique_ptr<ExportTarget> chapterFilesTarget(const std::string& folder, AudioFormat format,
                                                 std::vector<ChapterFile> chapters, const AudioTags& tags,
                                                 std::optional<int> bitrate)
{
    return std::make_unique<ChapterFiles>(folder, format, std::move(chapters), tags, bitrate);
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
