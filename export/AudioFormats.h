#pragma once
// The formats of an audiobook export, as a file name's extension names them: WAV, FLAC,
// Ogg Vorbis, Ogg Opus and MP3, with the bit rates of the lossy ones and the tags a file
// carries.

#include <optional>
#include <string>
#include <string_view>

namespace kven {

enum class AudioFormat { wav, flac, vorbis, opus, mp3 };
inline constexpr AudioFormat kAudioFormats[] = {AudioFormat::wav, AudioFormat::flac, AudioFormat::vorbis,
                                                AudioFormat::opus, AudioFormat::mp3};

// The format named by a file name's extension (.wav, .flac, .ogg, .oga, .opus, .mp3, in
// any case); nullopt for any other name.
std::optional<AudioFormat> audioFormatOf(std::string_view path);
// The extension that names the format, with its dot.
const char* extensionOf(AudioFormat format);

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

// "%s の形式はこのシステムでは書き出せません"
std::string msgCannotEncode(std::string_view extension);

} // namespace kven
