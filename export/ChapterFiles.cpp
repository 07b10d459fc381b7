#include "export/ChapterFiles.h"

#include "export/EncoderSinks.h"
#include "export/Lyrics.h"
#include "export/SplitPlaylist.h"
#include "export/StaleTemporaries.h"
#include "files/Errors.h"
#include "files/FileIo.h"
#include "files/Paths.h"
#include "text/TextOps.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace kven {
namespace {

class ChapterFiles final : public ExportTarget {
public:
    ChapterFiles(std::string folder, AudioFormat format, std::vector<ChapterFile> chapters, AudioTags tags,
                 std::optional<int> bitrate, bool lyrics)
        : folder_(std::move(folder)), format_(format), chapters_(std::move(chapters)), tags_(std::move(tags)),
          bitrate_(bitrate), lyrics_(lyrics)
    {
        if (chapters_.empty())
            chapters_.push_back({tags_.album});
        std::size_t digits = std::to_string(chapters_.size()).size();
        width_ = std::max<std::size_t>(2, digits);
        const std::string name = safeFileName(std::filesystem::path(folder_).lexically_normal().filename().string());
        listName_ = (name.empty() ? "playlist" : name) + ".m3u8";
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

    void append(std::size_t chapter, const Samples& samples) override { fileOf(chapter).sink->append(samples); }

    void cue(std::size_t chapter, std::string_view text) override
    {
        File& file = fileOf(chapter);
        if (file.lyrics)
            file.lyrics->add(file.sink->sampleCount(), text);
    }

    bool canKeep(std::size_t chapter) const override
    {
        if (chapter >= planned_.size() || planned_[chapter].key.empty())
            return false;
        const auto kept = kept_.find(planned_[chapter].name);
        return kept != kept_.end() && kept->second.entry.key == planned_[chapter].key &&
               kept->second.entry.lyrics == lyrics_;
    }

    TakenOver takenOver() const override { return takenOver_; }

    void keep(std::size_t chapter) override
    {
        if (current_ == chapter || !canKeep(chapter))
            return;
        completeCurrent();
        const KeptFile& kept = kept_.at(planned_[chapter].name);
        files_.push_back({nullptr, kept.entry, kept.folder, std::nullopt});
        current_ = chapter;
    }

    void finish() override
    {
        // A document with nothing to say still gives its one file.
        if (files_.empty())
            open(0);
        // Everything written and on the disk first: what is left are the renames, so a full disk
        // cannot leave some files of this export among those of an earlier one.
        completeCurrent();
        // The chapters, then the playlist that lists them, then the chapter files of the earlier
        // export that these did not replace: at no moment does a playlist list a missing file.
        // The earlier export's files are the ones its playlist lists; nothing else is touched.
        const std::vector<ChapterEntry> earlier = readPlaylist(inFolder(real_, listName_));
        // Something in the way that no rename may replace fails the export before the first.
        std::vector<std::string> names{listName_};
        for (const File& file : files_)
            if (file.folder == staging_)
                for (const std::string& each : namesOf(file.entry))
                    names.push_back(each);
        for (const std::string& each : names) {
            struct stat st {};
            if (::lstat(inFolder(real_, each).c_str(), &st) == 0 && !S_ISREG(st.st_mode))
                throw KvenError(msgCannotCreate(inFolder(folder_, each)));
        }
        std::set<std::string, std::less<>> made;
        for (const std::string& each : names)
            if (each != listName_)
                moveIn(each);
        moveIn(listName_);
        for (const File& file : files_)
            for (const std::string& each : namesOf(file.entry))
                made.insert(each);
        for (const ChapterEntry& old : earlier)
            for (const std::string& each : namesOf(old)) {
                std::error_code ignored;
                const std::string oldPath = inFolder(real_, each);
                if (!made.contains(each) &&
                    std::filesystem::is_regular_file(std::filesystem::symlink_status(oldPath, ignored)))
                    std::filesystem::remove(oldPath, ignored);
            }
        syncFolder(real_);
        finished_ = true;
        removeWhatWasMade();
    }

private:
    struct File {
        std::unique_ptr<AudioSink> sink; // none once complete, or for a file kept from an earlier run
        ChapterEntry entry;
        std::string folder; // where the file is once complete
        std::optional<LyricsTrack> lyrics;
    };
    // The name a chapter's file will have and the key of what makes it, when the chapter's
    // own key is known.
    struct Planned {
        std::string name;
        std::string key;
    };

    std::string msgNotRegularFolder() const { return "フォルダー " + folder_ + " を作成できません"; }

    static std::vector<std::string> namesOf(const ChapterEntry& entry)
    {
        if (entry.lyrics)
            return {entry.name, lyricsPathOf(entry.name)};
        return {entry.name};
    }

    std::string fileName(int track, std::size_t chapter) const
    {
        std::string number = std::to_string(track);
        number.insert(0, width_ > number.size() ? width_ - number.size() : 0, '0');
        const std::string safe = safeFileName(chapters_[chapter].title);
        return (safe.empty() ? number : number + " " + safe) + extensionOf(format_);
    }

    // Everything that goes into a chapter's file besides its speech is part of its key.
    std::string fileKey(std::size_t chapter, const std::string& name) const
    {
        const std::string& own = chapters_[chapter].key;
        if (own.empty())
            return {};
        const std::string bitrate = bitrate_ ? std::to_string(*bitrate_) : std::string();
        return keyOf({own, name, chapters_[chapter].title, tags_.album, tags_.artist, bitrate, lyrics_ ? "1" : "0"});
    }

    // Files are numbered by the chapters that have speech, which those with a key of their own do.
    void planNames()
    {
        int track = 0;
        for (std::size_t chapter = 0; chapter < chapters_.size(); ++chapter) {
            Planned planned;
            if (!chapters_[chapter].key.empty()) {
                planned.name = fileName(++track, chapter);
                planned.key = fileKey(chapter, planned.name);
            }
            planned_.push_back(std::move(planned));
        }
    }

    File& fileOf(std::size_t chapter)
    {
        chapter = std::min(chapter, chapters_.size() - 1);
        if (!current_ || chapter != *current_)
            open(chapter);
        return files_.back();
    }

    // The files are made in a folder of their own and moved into `folder_` once all are complete:
    // beside it, so that the moves are renames, or inside it where it is a file system of its
    // own or the folder that holds it cannot be written.
    void makeStaging()
    {
        std::error_code error;
        const std::filesystem::path real = std::filesystem::canonical(folder_, error);
        real_ = error ? folder_ : real.string();
        const std::string name(fileNameOf(real_));
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
        planNames();
        // What stopped runs completed and this one can keep comes over before their folders go;
        // the folders that hold what it cannot keep stay for a run that can.
        std::map<std::string, std::string, std::less<>> plannedKeys;
        for (const Planned& planned : planned_)
            if (!planned.key.empty())
                plannedKeys[planned.name] = planned.key;
        EarlierFiles earlier = gatherKeptFiles(real_, listName_, staging_, [&](const ChapterEntry& entry) {
            const auto found = plannedKeys.find(entry.name);
            return found != plannedKeys.end() && found->second == entry.key && entry.lyrics == lyrics_;
        });
        kept_ = std::move(earlier.kept);
        removeStaleExportTemporaries(folderHolding(real_), name, earlier.spared);
        removeStaleExportTemporaries(real_, name, earlier.spared);
        for (std::size_t chapter = 0; chapter < planned_.size(); ++chapter)
            takenOver_.kept += canKeep(chapter) ? 1 : 0;
        takenOver_.setAside = earlier.setAside;
        takenOver_.setAsideFolders.assign(earlier.spared.begin(), earlier.spared.end());
    }

    void moveIn(const std::string& name)
    {
        const std::string from = inFolder(staging_, name);
        const std::string to = inFolder(real_, name);
        // A file replaced keeps what it allowed, as with AtomicFile.
        struct stat old {};
        if (::lstat(to.c_str(), &old) == 0 && S_ISREG(old.st_mode))
            ::chmod(from.c_str(), old.st_mode & 0777);
        if (::rename(from.c_str(), to.c_str()) != 0)
            throw KvenError(msgCannotCreate(inFolder(folder_, name)));
    }

    // The temporary folder with whatever is still in it, and the folder when this export made it
    // and does not complete (only when nothing else is in it). An export that does not complete
    // leaves what it took over from stopped runs in its temporary folder, listed there, for the
    // next run: only what it made goes.
    void removeWhatWasMade() noexcept
    {
        std::error_code ignored;
        if (!staging_.empty() && !finished_ && leaveTakenOver())
            staging_.clear(); // it stays
        if (!staging_.empty())
            std::filesystem::remove_all(staging_, ignored);
        staging_.clear();
        if (createdFolder_ && !finished_)
            std::filesystem::remove(folder_, ignored);
    }

    // Whether the temporary folder now holds only the files taken over from stopped runs, with a
    // playlist of them; false when there are none, or they cannot stay.
    bool leaveTakenOver() noexcept
    {
        try {
            std::vector<ChapterEntry> carried;
            std::set<std::string> names{listName_};
            for (const auto& [name, kept] : kept_)
                if (kept.folder == staging_) {
                    carried.push_back(kept.entry);
                    for (const std::string& each : namesOf(kept.entry))
                        names.insert(each);
                }
            if (carried.empty())
                return false;
            std::error_code error;
            for (auto it = std::filesystem::directory_iterator(staging_, error);
                 !error && it != std::filesystem::directory_iterator(); it.increment(error))
                if (std::error_code ignored; !names.contains(it->path().filename().string()))
                    std::filesystem::remove_all(it->path(), ignored);
            return writeFileAtomic(inFolder(staging_, listName_), playlistText(carried));
        } catch (...) {
            return false;
        }
    }

    // Completes the file being written, with its text track, in the temporary folder, and lists
    // it in the playlist there: a run that is stopped later leaves it for the next one.
    void completeCurrent()
    {
        if (files_.empty())
            return;
        File& file = files_.back();
        if (file.sink) {
            const std::string path = inFolder(staging_, file.entry.name);
            file.sink->seal();
            if (file.lyrics) {
                const std::string lyricsName = lyricsPathOf(file.entry.name);
                AtomicFile lyrics(inFolder(staging_, lyricsName));
                if (lyrics.open() != AtomicFile::Opened::ok || !lyrics.write(file.lyrics->text()) || !lyrics.commit())
                    throw KvenError(msgWriteFailed(inFolder(folder_, lyricsName)));
            }
            file.sink->commit();
            file.entry.samples = file.sink->sampleCount();
            std::error_code error;
            file.entry.bytes = std::filesystem::file_size(path, error);
            if (error)
                throw KvenError(msgWriteFailed(inFolder(folder_, file.entry.name)));
            file.sink.reset();
            file.lyrics.reset();
        }
        std::vector<ChapterEntry> entries;
        for (const File& each : files_)
            entries.push_back(each.entry);
        if (!writeFileAtomic(inFolder(staging_, listName_), playlistText(entries)))
            throw KvenError(msgWriteFailed(inFolder(folder_, listName_)));
    }

    void open(std::size_t chapter)
    {
        completeCurrent();
        const int track = static_cast<int>(files_.size()) + 1;
        const std::string name = fileName(track, chapter);
        const std::string& title = chapters_[chapter].title;
        AudioTags tags = tags_;
        tags.title = title;
        tags.track = track;
        File file{makeAudioSink(inFolder(staging_, name), inFolder(folder_, name), format_, tags, bitrate_),
                  {name, title, 0, 0, fileKey(chapter, name), lyrics_},
                  staging_,
                  std::nullopt};
        if (lyrics_)
            file.lyrics.emplace(tags);
        files_.push_back(std::move(file));
        current_ = chapter;
    }

    std::string folder_;
    std::string real_;    // folder_ after its links, where the files are moved to
    std::string staging_; // where they are made
    std::string listName_;
    AudioFormat format_;
    std::vector<ChapterFile> chapters_;
    AudioTags tags_;
    std::optional<int> bitrate_;
    bool lyrics_;
    std::size_t width_ = 2;
    bool createdFolder_ = false;
    bool finished_ = false;
    KeptFiles kept_;
    TakenOver takenOver_;
    std::vector<Planned> planned_;
    std::vector<File> files_;
    std::optional<std::size_t> current_;
};

} // namespace

std::unique_ptr<ExportTarget> chapterFilesTarget(const std::string& folder, AudioFormat format,
                                                 std::vector<ChapterFile> chapters, const AudioTags& tags,
                                                 std::optional<int> bitrate, bool lyrics)
{
    return std::make_unique<ChapterFiles>(folder, format, std::move(chapters), tags, bitrate, lyrics);
}

} // namespace kven
