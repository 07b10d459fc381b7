#pragma once
// The audio files of an export: WAV through our own writer, FLAC, Ogg Vorbis, Ogg Opus and
// MP3 through libsndfile, chosen by the file name's extension. Every file is written under a
// temporary name beside its target (the files of a split export in a temporary folder beside
// theirs) and takes the target's place only once it is complete, so a failed or abandoned
// export never replaces a good file.

#include "files/FileIo.h"
#include "speech/Wav.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kven {

enum class AudioFormat { wav, flac, vorbis, opus, mp3 };

// The format named by a file name's extension (.wav, .flac, .ogg, .oga, .opus, .mp3, in
// any case); nullopt for any other name.
std::optional<AudioFormat> audioFormatOf(std::string_view path);
// The extension that names the format, with its dot.
const char* extensionOf(AudioFormat format);
// Whether the installed libsndfile can write the format (WAV always can).
bool canWrite(AudioFormat format);

// Bit rates of the lossy formats, kbit/s. Speech needs little: the defaults are 28 kbit/s
// Opus, 64 kbit/s MP3 and about 48 kbit/s Vorbis (whose rate follows the sound, so the figure
// is a target). Formats without a bit rate (WAV, FLAC) have none.
std::optional<int> defaultBitrate(AudioFormat format);
struct BitrateRange {
    int min;
    int max;
};
std::optional<BitrateRange> bitrateRange(AudioFormat format);

// Tags written where the format holds them (not into WAV, whose bytes stay those of our
// own writer). UTF-8; empty ones and a track number 0 are left out.
struct AudioTags {
    std::string title;
    std::string artist;
    std::string album;
    int track = 0;
};

// The speech of an export in one file: 48 kHz, mono, 16-bit samples in order.
class AudioSink {
public:
    virtual ~AudioSink() = default;
    virtual void append(const Samples& samples) = 0;
    virtual std::uint64_t sampleCount() const = 0;
    // Completes the file, still under its temporary name; nothing can be appended after.
    // Throws KvenError on any failure.
    virtual void seal() = 0;
    // Seals the file if that is not done and puts it in place of the target. Throws
    // KvenError on any failure, the target then unchanged.
    virtual void commit() = 0;
    void finish()
    {
        seal();
        commit();
    }
};

// A sink for `path` in `format`; `bitrate` (kbit/s, within the format's range) only for a
// format that has one, else its default. Throws KvenError when the target is not a regular
// file, cannot be created, or the installed libsndfile cannot write the format. Exports that
// were killed leave their temporaries behind: those in the folder of `path` whose writer is
// gone and that nothing changed for a day go first.
std::unique_ptr<AudioSink> openAudioSink(const std::string& path, AudioFormat format, const AudioTags& tags,
                                         std::optional<int> bitrate = std::nullopt);

// "%s の形式はこのシステムでは書き出せません"
std::string msgCannotEncode(std::string_view extension);

// Where an export's speech goes, utterance after utterance, each with the index of the
// chapter it belongs to; indices never go back.
class ExportTarget {
public:
    virtual ~ExportTarget() = default;
    virtual void append(std::size_t chapter, const Samples& samples) = 0;
    // Completes and puts in place everything written. Throws KvenError on any failure;
    // whatever was not put in place by then is removed with the target.
    virtual void finish() = 0;
    // Without finish(), everything written goes when the target does.
};

// Everything into one file; chapters do not matter.
std::unique_ptr<ExportTarget> singleFileTarget(std::unique_ptr<AudioSink> sink);

// One chapter of a document: its title (UTF-8) names its file and is its title tag.
struct ChapterFile {
    std::string title;
};

// One file per chapter that has any speech, in the folder `folder` (created when missing):
// "NN title.ext", numbered from 01 in order, with the track number tag, the album tag
// `tags.album` and the artist tag `tags.artist`, and the playlist "NAME.m3u8" listing them,
// NAME being the folder's own name. The files are made in a temporary folder and moved in by
// finish(), where they replace those of an earlier export: its chapter files ("NN title.ext"
// of any format) and its playlist; the folder's other files stay. Until then the folder stays
// as it was, and a folder this target created goes again when the export does not complete.
// Killed exports' temporaries go first as with openAudioSink, and those of this folder's
// export as soon as their writer is gone.
std::unique_ptr<ExportTarget> chapterFilesTarget(const std::string& folder, AudioFormat format,
                                                 std::vector<ChapterFile> chapters, const AudioTags& tags,
                                                 std::optional<int> bitrate = std::nullopt);

// A chapter title as a file name: characters that file systems or players refuse (/ \ : * ?
// " < > | and control characters) become "_", blanks and dots at either end go (no hidden
// file, no "." or ".."),
// and the name is cut to at most `maxBytes` bytes at a character boundary.
std::string safeFileName(std::string_view title, std::size_t maxBytes = 120);

} // namespace kven
