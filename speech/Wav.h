#pragma once
// The one audio format of the speech back ends: 48 kHz, mono, 16-bit signed samples. Reading
// the synthesizer's WAV output, trimming its silent ends, and writing WAV files.

#include <cstddef>
#include <cstdint>
#include <cstdio>
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
// sizes wrapped; up to that size it is a plain RIFF WAV with a JUNK chunk.
class WavWriter {
public:
    // Throws KvenError when the file cannot be created.
    explicit WavWriter(std::string path);
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    void append(const Samples& samples);
    void appendSilence(std::size_t count);
    std::uint64_t sampleCount() const { return samples_; }
    // Writes the sizes and closes the file; throws KvenError on any write failure.
    void finish();

    // The header for `sampleCount` samples, as finish() writes it.
    static std::string header(std::uint64_t sampleCount);

private:
    void write(const void* data, std::size_t size);

    std::string path_;
    std::FILE* file_ = nullptr;
    std::uint64_t samples_ = 0;
};

} // namespace kven
