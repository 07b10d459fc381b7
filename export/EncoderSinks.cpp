#include "export/EncoderSinks.h"

#include "export/StaleTemporaries.h"
#include "files/Errors.h"

#include <opusenc.h>
#include <sndfile.h>

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <mutex>
#include <new>

namespace kven {
namespace {

// libsndfile's format for those it writes; 0 for WAV (our own writer) and Opus (libopusenc).
int sndfileFormatOf(AudioFormat format)
{
    switch (format) {
    case AudioFormat::flac: return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    case AudioFormat::vorbis: return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    case AudioFormat::mp3: return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    case AudioFormat::wav:
    case AudioFormat::opus: break;
    }
    return 0;
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

// FLAC, Ogg Vorbis and MP3 through libsndfile's virtual I/O. The encoders only write, seek
// and tell.
class SndfileSink final : public EncodingSink {
public:
    SndfileSink(const std::string& path, std::string shownPath, AudioFormat format, const AudioTags& tags,
                std::optional<int> bitrate)
        : EncodingSink(path, std::move(shownPath))
    {
        SF_INFO sfInfo{};
        sfInfo.samplerate = kSampleRate;
        sfInfo.channels = 1;
        sfInfo.format = sndfileFormatOf(format);
        SF_VIRTUAL_IO io{&SndfileSink::length, &SndfileSink::seek, &SndfileSink::read, &SndfileSink::write,
                         &SndfileSink::tell};
        sndfile_ = sf_open_virtual(&io, SFM_WRITE, &sfInfo, this);
        if (sndfile_ == nullptr) {
            if (failed())
                fail();
            throw KvenError(msgCannotEncode(extensionOf(format)));
        }
        started();
        if (format == AudioFormat::mp3) {
            int mode = SF_BITRATE_MODE_CONSTANT;
            sf_command(sndfile_, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
        }
        if (const std::optional<int> standard = defaultBitrate(format)) {
            double level = compressionFor(format, bitrate.value_or(*standard));
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
        ope_encoder_ctl(encoder_, OPE_SET_SERIALNO(serialNumberOf(tags)));
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

    // The stream's serial number from its tags rather than at random, so that the same speech
    // gives the same bytes: a split export that resumes keeps some files and makes others.
    static int serialNumberOf(const AudioTags& tags)
    {
        std::uint32_t hash = 2166136261U;
        for (const std::string& part : {tags.title, tags.artist, tags.album, std::to_string(tags.track)})
            for (const char c : part + '\n')
                hash = (hash ^ static_cast<unsigned char>(c)) * 16777619U;
        return static_cast<int>(hash & 0x7FFFFFFF);
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

bool canWrite(AudioFormat format)
{
    const int sndfileFormat = sndfileFormatOf(format);
    if (sndfileFormat == 0)
        return true;
    static std::mutex mutex;
    static std::optional<bool> known[std::size(kAudioFormats)];
    std::lock_guard lock(mutex);
    std::optional<bool>& answer = known[static_cast<std::size_t>(format)];
    if (!answer)
        answer = encoderOpens(sndfileFormat);
    return *answer;
}

std::unique_ptr<AudioSink> makeAudioSink(const std::string& path, const std::string& shownPath, AudioFormat format,
                                         const AudioTags& tags, std::optional<int> bitrate)
{
    if (format == AudioFormat::wav)
        return std::make_unique<WavSink>(path, shownPath);
    if (format == AudioFormat::opus)
        return std::make_unique<OpusSink>(path, shownPath, tags, bitrate.value_or(*defaultBitrate(format)));
    return std::make_unique<SndfileSink>(path, shownPath, format, tags, bitrate);
}

std::unique_ptr<AudioSink> openAudioSink(const std::string& path, AudioFormat format, const AudioTags& tags,
                                         std::optional<int> bitrate)
{
    removeStaleExportTemporaries(folderHolding(path), {});
    return makeAudioSink(path, path, format, tags, bitrate);
}

} // namespace kven
