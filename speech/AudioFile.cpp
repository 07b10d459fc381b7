#include "speech/AudioFile.h"

#include "files/Errors.h"
#include "files/Paths.h"
#include "text/TextOps.h"
#include "text/Utf8.h"

#include <opusenc.h>
#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace kven {
namespace {

struct FormatInfo {
    AudioFormat format;
    const char* extension;
    int sndfileFormat; // 0: our own WAV writer; -1: our Opus writer
    std::optional<int> bitrate;
    std::optional<BitrateRange> range;
};

constexpr FormatInfo kFormats[] = {
    {AudioFormat::wav, ".wav", 0, std::nullopt, std::nullopt},
    {AudioFormat::flac, ".flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, std::nullopt, std::nullopt},
    {AudioFormat::vorbis, ".ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 48, BitrateRange{45, 240}},
    {AudioFormat::opus, ".opus", -1, 28, BitrateRange{6, 256}},
    {AudioFormat::mp3, ".mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 64, BitrateRange{32, 320}},
};

const FormatInfo& infoOf(AudioFormat format)
{
    return kFormats[static_cast<std::size_t>(format)];
}

// libsndfile's compression level (0 best, 1 smallest) that gives `kbps` in `format`, after
// the mapping of its encoders at 48 kHz mono: MP3 (MPEG-1) spreads 32 to 320 kbit/s over the
// level, truncating; Vorbis varies its rate with the sound, and the levels for a rate are
// interpolated between ones measured on an hour of our speech.
double compressionFor(AudioFormat format, int kbps)
{
    if (format == AudioFormat::mp3)
        return std::clamp((320.0 - kbps - 0.25) / 288.0, 0.0, 1.0);
    struct Point {
        double kbps;
        double level;
    };
    static constexpr Point kVorbis[] = {{45, 1.0}, {58, 0.9}, {82, 0.5}, {240, 0.0}};
    if (kbps <= kVorbis[0].kbps)
        return 1.0;
    for (std::size_t i = 1; i < std::size(kVorbis); ++i) {
        const Point& a = kVorbis[i - 1];
        const Point& b = kVorbis[i];
        if (kbps <= b.kbps)
            return a.level + (b.level - a.level) * (kbps - a.kbps) / (b.kbps - a.kbps);
    }
    return 0.0;
}

// What the encoding sinks share: the encoder writes, through callbacks, into the temporary
// file of an AtomicFile, so that a failed write is seen whatever the encoder makes of it, and
// the file takes its place only when complete. The first failure is kept and ends the file.
class EncodingSink : public AudioSink {
public:
    void append(const Samples& samples) final
    {
        if (!encoding_)
            throw KvenError(msgCannotCreate(path_));
        if (!encode(samples) || failedErrno_)
            fail();
        samples_ += samples.size();
    }

    std::uint64_t sampleCount() const final { return samples_; }

    void seal() final
    {
        if (encoding_) {
            // Flushes the encoder and writes what a file ends with.
            encoding_ = false;
            if (!finishEncoder() || failedErrno_)
                fail();
        }
        if (!file_.seal())
            fail();
    }

    void commit() final
    {
        seal();
        if (!file_.commit())
            throw KvenError(msgCannotCreate(path_));
    }

protected:
    // Creates the temporary file of `path`; throws KvenError when the target is no regular file
    // or the file cannot be made. Messages name `shownPath`.
    EncodingSink(const std::string& path, std::string shownPath) : path_(std::move(shownPath)), file_(path)
    {
        switch (file_.open()) {
        case AtomicFile::Opened::ok: break;
        case AtomicFile::Opened::notRegularFile: throw KvenError(msgNotRegularFile(path_));
        case AtomicFile::Opened::failed: throw KvenError(msgCannotCreate(path_));
        }
    }

    // The derived sink's encoder is open (from its constructor) and takes samples.
    void started() { encoding_ = true; }
    virtual bool encode(const Samples& samples) = 0;
    // Ends the encoder, flushing it; false when it failed.
    virtual bool finishEncoder() = 0;
    // Ends the encoder without a care for what it still holds.
    virtual void dropEncoder() noexcept = 0;

    // Writes for the encoder at `offset`, or after what was written; false on failure, which
    // is kept for the sink to report.
    bool put(std::string_view bytes, std::optional<std::uint64_t> offset)
    {
        if (failedErrno_)
            return false;
        if (!(offset ? file_.writeAt(*offset, bytes) : file_.write(bytes))) {
            failedErrno_ = errno != 0 ? errno : EIO;
            return false;
        }
        return true;
    }

    // Reports the first failure, removing the temporary file.
    [[noreturn]] void fail()
    {
        if (failedErrno_)
            errno = failedErrno_;
        const std::string message = msgWriteFailed(path_);
        if (encoding_)
            dropEncoder();
        encoding_ = false;
        file_.discard();
        throw KvenError(message);
    }

    bool failed() const { return failedErrno_ != 0; }

private:
    std::string path_;
    AtomicFile file_;
    std::uint64_t samples_ = 0;
    int failedErrno_ = 0;
    bool encoding_ = false;
};

// FLAC, Ogg Vorbis and MP3 through libsndfile's virtual I/O. The encoders only write, seek
// and tell.
class SndfileSink final : public EncodingSink {
public:
    SndfileSink(const std::string& path, std::string shownPath, AudioFormat format, const AudioTags& tags,
                std::optional<int> bitrate)
        : EncodingSink(path, std::move(shownPath))
    {
        const FormatInfo& info = infoOf(format);
        SF_INFO sfInfo{};
        sfInfo.samplerate = kSampleRate;
        sfInfo.channels = 1;
        sfInfo.format = info.sndfileFormat;
        SF_VIRTUAL_IO io{&SndfileSink::length, &SndfileSink::seek, &SndfileSink::read, &SndfileSink::write,
                         &SndfileSink::tell};
        sndfile_ = sf_open_virtual(&io, SFM_WRITE, &sfInfo, this);
        if (sndfile_ == nullptr) {
            if (failed())
                fail();
            throw KvenError(msgCannotEncode(info.extension));
        }
        started();
        if (format == AudioFormat::mp3) {
            int mode = SF_BITRATE_MODE_CONSTANT;
            sf_command(sndfile_, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
        }
        if (info.bitrate) {
            double level = compressionFor(format, bitrate.value_or(*info.bitrate));
            sf_command(sndfile_, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
        }
        const auto tag = [this](int type, const std::string& value) {
            if (!value.empty())
                sf_set_string(sndfile_, type, value.c_str());
        };
        tag(SF_STR_TITLE, tags.title);
        tag(SF_STR_ARTIST, tags.artist);
        tag(SF_STR_ALBUM, tags.album);
        tag(SF_STR_TRACKNUMBER, tags.track > 0 ? std::to_string(tags.track) : std::string());
        tag(SF_STR_SOFTWARE, "KVEN");
    }

    ~SndfileSink() override { dropEncoder(); }

private:
    bool encode(const Samples& samples) override
    {
        // In blocks: the Vorbis encoder of libsndfile 1.2.0 overruns its buffer on a long write.
        constexpr std::size_t kBlock = 8192;
        for (std::size_t at = 0; at < samples.size(); at += kBlock) {
            const auto count = static_cast<sf_count_t>(std::min(kBlock, samples.size() - at));
            if (sf_write_short(sndfile_, samples.data() + at, count) != count || failed())
                return false;
        }
        return true;
    }

    bool finishEncoder() override
    {
        const int closed = sf_close(sndfile_);
        sndfile_ = nullptr;
        return closed == 0;
    }

    void dropEncoder() noexcept override
    {
        if (sndfile_ != nullptr)
            sf_close(sndfile_);
        sndfile_ = nullptr;
    }

    static SndfileSink& self(void* user) { return *static_cast<SndfileSink*>(user); }

    static sf_count_t length(void* user) { return static_cast<sf_count_t>(self(user).length_); }

    static sf_count_t seek(sf_count_t offset, int whence, void* user)
    {
        SndfileSink& s = self(user);
        sf_count_t base = 0;
        if (whence == SEEK_CUR)
            base = static_cast<sf_count_t>(s.position_);
        else if (whence == SEEK_END)
            base = static_cast<sf_count_t>(s.length_);
        if (base + offset < 0)
            return -1;
        s.position_ = static_cast<std::uint64_t>(base + offset);
        return static_cast<sf_count_t>(s.position_);
    }

    static sf_count_t read(void*, sf_count_t, void*) { return 0; }

    static sf_count_t write(const void* data, sf_count_t count, void* user)
    {
        SndfileSink& s = self(user);
        if (count < 0 || !s.put({static_cast<const char*>(data), static_cast<std::size_t>(count)}, s.position_))
            return 0;
        s.position_ += static_cast<std::uint64_t>(count);
        s.length_ = std::max(s.length_, s.position_);
        return count;
    }

    static sf_count_t tell(void* user) { return static_cast<sf_count_t>(self(user).position_); }

    SNDFILE* sndfile_ = nullptr;
    std::uint64_t position_ = 0;
    std::uint64_t length_ = 0;
};

// Ogg Opus through libopusenc rather than libsndfile, whose Opus encoder runs at the
// highest complexity: that one costs a quarter of the synthesis time of the export, this one
// (complexity 6) a twentieth, at 28 kbit/s for the size of 32 kbit/s from the other.
class OpusSink final : public EncodingSink {
public:
    OpusSink(const std::string& path, std::string shownPath, const AudioTags& tags, int bitrate)
        : EncodingSink(path, std::move(shownPath))
    {
        OggOpusComments* comments = ope_comments_create();
        if (comments == nullptr)
            throw std::bad_alloc();
        const auto tag = [comments](const char* name, const std::string& value) {
            if (!value.empty())
                ope_comments_add(comments, name, value.c_str());
        };
        tag("TITLE", tags.title);
        tag("ARTIST", tags.artist);
        tag("ALBUM", tags.album);
        tag("TRACKNUMBER", tags.track > 0 ? std::to_string(tags.track) : std::string());
        const OpusEncCallbacks callbacks{&OpusSink::write, &OpusSink::close};
        int error = 0;
        encoder_ = ope_encoder_create_callbacks(&callbacks, this, comments, kSampleRate, 1, 0, &error);
        ope_comments_destroy(comments);
        if (encoder_ == nullptr) {
            if (failed())
                fail();
            throw KvenError(msgCannotEncode(".opus"));
        }
        started();
        ope_encoder_ctl(encoder_, OPUS_SET_BITRATE(bitrate * 1000));
        ope_encoder_ctl(encoder_, OPUS_SET_COMPLEXITY(6));
    }

    ~OpusSink() override { dropEncoder(); }

private:
    bool encode(const Samples& samples) override
    {
        return ope_encoder_write(encoder_, samples.data(), static_cast<int>(samples.size())) == OPE_OK;
    }

    bool finishEncoder() override
    {
        const int drained = ope_encoder_drain(encoder_);
        dropEncoder();
        return drained == OPE_OK;
    }

    void dropEncoder() noexcept override
    {
        if (encoder_ != nullptr)
            ope_encoder_destroy(encoder_);
        encoder_ = nullptr;
    }

    static int write(void* user, const unsigned char* data, opus_int32 length)
    {
        auto& self = *static_cast<OpusSink*>(user);
        const std::string_view bytes(reinterpret_cast<const char*>(data),
                                     static_cast<std::size_t>(std::max(length, 0)));
        return self.put(bytes, std::nullopt) ? 0 : 1;
    }

    static int close(void*) { return 0; }

    OggOpusEnc* encoder_ = nullptr;
};

// Our own writer, whose bytes other tools and earlier exports rely on.
class WavSink final : public AudioSink {
public:
    WavSink(std::string path, std::string shownPath) : writer_(std::move(path), std::move(shownPath)) {}
    void append(const Samples& samples) override { writer_.append(samples); }
    std::uint64_t sampleCount() const override { return writer_.sampleCount(); }
    void seal() override
    {
        if (!sealed_)
            writer_.seal();
        sealed_ = true;
    }
    void commit() override
    {
        seal();
        writer_.commit();
    }

private:
    WavWriter writer_;
    bool sealed_ = false;
};

class SingleFile final : public ExportTarget {
public:
    explicit SingleFile(std::unique_ptr<AudioSink> sink) : sink_(std::move(sink)) {}
    void append(std::size_t, const Samples& samples) override { sink_->append(samples); }
    void finish() override { sink_->finish(); }

private:
    std::unique_ptr<AudioSink> sink_;
};

std::unique_ptr<AudioSink> newSink(const std::string& path, const std::string& shownPath, AudioFormat format,
                                   const AudioTags& tags, std::optional<int> bitrate)
{
    if (format == AudioFormat::wav)
        return std::make_unique<WavSink>(path, shownPath);
    if (format == AudioFormat::opus)
        return std::make_unique<OpusSink>(path, shownPath, tags, bitrate.value_or(*infoOf(format).bitrate));
    return std::make_unique<SndfileSink>(path, shownPath, format, tags, bitrate);
}

// A temporary whose writer this machine does not know may be written by a copy on another machine
// or in another container, and that copy writes into it all the time: one untouched for a day is
// no one's.
constexpr auto kAbandonedAfter = std::chrono::hours(24);

// The folder that holds `path`, "." for a bare name.
std::string folderHolding(std::string_view path)
{
    const std::string_view folder = folderOf(path);
    return folder.empty() ? std::string(".") : std::string(folder);
}

// "NN title.ext" or "NN.ext", as the chapter files of a split export are named: NN two digits or
// more, .ext the extension of a format.
bool isChapterFileName(std::string_view name)
{
    for (const FormatInfo& info : kFormats) {
        if (!name.ends_with(info.extension))
            continue;
        const std::string_view stem = name.substr(0, name.size() - std::string_view(info.extension).size());
        const std::size_t digits = std::min(stem.find_first_not_of("0123456789"), stem.size());
        return digits >= 2 && (digits == stem.size() || (stem[digits] == ' ' && digits + 1 < stem.size()));
    }
    return false;
}

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

bool isPlaylistName(std::string_view name)
{
    return name.size() > 5 && name.ends_with(".m3u8");
}

// Removes a temporary folder of a split export when it holds nothing but chapter files,
// playlists and the temporary files of both, and, given `before`, when nothing in it changed
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
        if (!it->is_regular_file(error) || it->is_symlink(error) || !(isChapterFileName(made) || isPlaylistName(made)))
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

// Removes what exports that were killed left in `folder`: the temporary files of single-file
// exports and of playlists, and the temporary folders of split exports. Each one goes once the
// process that wrote it is gone and nothing in it changed for a day; the temporary folders of
// `ownTarget` as soon as their writer is gone, as AtomicFile does with its own target's files.
// Names of any other form are no export's and stay.
void removeStaleExportTemporaries(const std::string& folder, std::string_view ownTarget)
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
            removeExportFolder(it->path(), temporary->target == ownTarget ? std::nullopt : std::optional(dayAgo));
        } else if (fs::is_regular_file(status) &&
                   (audioFormatOf(temporary->target) || isPlaylistName(temporary->target)) &&
                   fs::last_write_time(it->path(), ignored) < dayAgo) {
            fs::remove(it->path(), ignored);
        }
    }
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
            {newSink(inFolder(staging_, name), inFolder(folder_, name), format_, tags, bitrate_), name, title});
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

// Encodes nothing anywhere: whether the encoder of a format opens at all.
bool encoderOpens(int sndfileFormat)
{
    SF_VIRTUAL_IO io{
        [](void*) -> sf_count_t { return 0; },
        [](sf_count_t offset, int, void*) -> sf_count_t { return offset < 0 ? -1 : 0; },
        [](void*, sf_count_t, void*) -> sf_count_t { return 0; },
        [](const void*, sf_count_t count, void*) -> sf_count_t { return count; },
        [](void*) -> sf_count_t { return 0; },
    };
    SF_INFO info{};
    info.samplerate = kSampleRate;
    info.channels = 1;
    info.format = sndfileFormat;
    SNDFILE* file = sf_open_virtual(&io, SFM_WRITE, &info, nullptr);
    if (file == nullptr)
        return false;
    sf_close(file);
    return true;
}

} // namespace

std::optional<AudioFormat> audioFormatOf(std::string_view path)
{
    std::string ext(kven::extensionOf(path));
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    if (ext == ".oga")
        return AudioFormat::vorbis;
    for (const FormatInfo& info : kFormats)
        if (ext == info.extension)
            return info.format;
    return std::nullopt;
}

const char* extensionOf(AudioFormat format)
{
    return infoOf(format).extension;
}

bool canWrite(AudioFormat format)
{
    const FormatInfo& info = infoOf(format);
    if (info.sndfileFormat <= 0)
        return true;
    static std::mutex mutex;
    static std::optional<bool> known[std::size(kFormats)];
    std::lock_guard lock(mutex);
    std::optional<bool>& answer = known[static_cast<std::size_t>(format)];
    if (!answer)
        answer = encoderOpens(info.sndfileFormat);
    return *answer;
}

std::optional<int> defaultBitrate(AudioFormat format)
{
    return infoOf(format).bitrate;
}

std::optional<BitrateRange> bitrateRange(AudioFormat format)
{
    return infoOf(format).range;
}

std::string msgCannotEncode(std::string_view extension)
{
    return std::string(extension) + " の形式はこのシステムでは書き出せません";
}

std::unique_ptr<AudioSink> openAudioSink(const std::string& path, AudioFormat format, const AudioTags& tags,
                                         std::optional<int> bitrate)
{
    removeStaleExportTemporaries(folderHolding(path), {});
    return newSink(path, path, format, tags, bitrate);
}

std::unique_ptr<ExportTarget> singleFileTarget(std::unique_ptr<AudioSink> sink)
{
    return std::make_unique<SingleFile>(std::move(sink));
}

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
