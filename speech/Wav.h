#pragma once
// The one audio format of the speech back ends: 48 kHz, mono, 16-bit signed samples. Reading
// the synthesizer's WAV output, trimming its silent ends, and writing WAV files.

#include "files/FileIo.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kven {

inline constexpr int kSampleRate = 48000;
using Samples = std::vector<std::int16_t>;

constexpr std::size_t samplesForMs(int milliseconds)
{
    return static_cast<std::size_t>(milliseconds) * kSampleRate / 1000;
}

// The samples of a RIFF WAV holding 16-bit mono PCM at 48 kHz; unknown chunks are passed
// over. Throws KvenError naming what is wrong with any other input, a data chunk shorter
// than its size included.
Samples parseWav(std::string_view bytes);

// Shortens the silence at the front and at the back (samples whose magnitude stays at or
// below `threshold`) to at most `keepFront` and `keepBack` samples. A buffer that is silent
// throughout becomes empty.
void trimSilence(Samples& samples, std::size_t keepFront, std::size_t keepBack, int threshold = 64);

// A WAV file written as samples arrive, sizes filled in by finish(). Room for a 64-bit size
// block is reserved up front, so a file past 4 GiB becomes RF64 instead of a RIFF whose
// sizes wrapped; up to that size it is a plain RIFF WAV with a JUNK chunk. The file is
// written under a temporary name beside `path` and takes its place only in finish(); a writer
// destroyed before that leaves `path` as it was.
class WavWriter {
public:
    // Throws KvenError when `path` exists but is not a regular file, or cannot be created.
    // Messages name `shownPath` when it is given: where the file goes once it is complete.
    explicit WavWriter(std::string path, std::string shownPath = {});
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    void append(const Samples& samples);
    void appendSilence(std::size_t count);
    std::uint64_t sampleCount() const { return samples_; }
    // Writes the sizes and puts the file in place; throws KvenError on any write failure.
    void finish();
    // finish() in two steps: the sizes written and the file completed under its temporary
    // name, then put in place.
    void seal();
    void commit();

    // The header for `sampleCount` samples, as finish() writes it.
    static std::string header(std::uint64_t sampleCount);

private:
    std::string path_;
    AtomicFile file_;
    std::uint64_t samples_ = 0;
};

} // namespace kven
