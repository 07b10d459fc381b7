#include "speech/Wav.h"

#include "files/Errors.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

namespace kven {
namespace {

std::uint32_t le32(std::string_view b, std::size_t at)
{
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + i])) << (8 * i);
    return v;
}

std::uint16_t le16(std::string_view b, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8);
}

void put32(std::string& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void put64(std::string& out, std::uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void put16(std::string& out, std::uint16_t v)
{
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

// RIFF header, the reserved 64-bit size block, fmt chunk, data chunk header.
constexpr std::size_t kHeaderSize = 12 + 36 + 24 + 8;
constexpr std::uint64_t kRiffLimit = 0xFFFFFFFFull;

} // namespace

Samples parseWav(std::string_view bytes)
{
    if (bytes.size() < 12 || bytes.substr(0, 4) != "RIFF" || bytes.substr(8, 4) != "WAVE")
        throw KvenError("音声合成の出力が WAV ではありません");
    bool haveFormat = false;
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const std::string_view id = bytes.substr(at, 4);
        const std::size_t size = le32(bytes, at + 4);
        const std::size_t body = at + 8;
        if (id == "fmt ") {
            if (size < 16 || body + 16 > bytes.size())
                break;
            if (le16(bytes, body) != 1 || le16(bytes, body + 2) != 1 || le32(bytes, body + 4) != kSampleRate ||
                le16(bytes, body + 14) != 16)
                throw KvenError("音声合成の出力が 48 kHz モノラル 16 ビットではありません");
            haveFormat = true;
        } else if (id == "data") {
            if (!haveFormat)
                break;
            // The synthesizer writes the exact sizes even into a pipe: fewer bytes than the
            // header promises is output cut short, not a shorter utterance.
            if (size > bytes.size() - body)
                break;
            Samples samples(size / 2);
            for (std::size_t i = 0; i < samples.size(); ++i)
                samples[i] = static_cast<std::int16_t>(le16(bytes, body + 2 * i));
            return samples;
        }
        at = body + size + (size & 1);
    }
    throw KvenError("音声合成の出力の WAV が不完全です");
}

void trimSilence(Samples& samples, std::size_t keepFront, std::size_t keepBack, int threshold)
{
    const auto loud = [threshold](std::int16_t s) { return std::abs(static_cast<int>(s)) > threshold; };
    const auto first = std::find_if(samples.begin(), samples.end(), loud);
    if (first == samples.end()) {
        samples.clear();
        return;
    }
    const auto last = std::find_if(samples.rbegin(), samples.rend(), loud).base();
    const auto loudEnd = static_cast<std::size_t>(last - samples.begin());
    // Compared before adding, so that any amount asked for keeps all there is.
    const std::size_t end = loudEnd + std::min(keepBack, samples.size() - loudEnd);
    const std::size_t lead = static_cast<std::size_t>(first - samples.begin());
    const std::size_t begin = lead > keepFront ? lead - keepFront : 0;
    samples.erase(samples.begin() + static_cast<std::ptrdiff_t>(end), samples.end());
    samples.erase(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(begin));
}

std::string WavWriter::header(std::uint64_t sampleCount)
{
    const std::uint64_t dataBytes = sampleCount * 2;
    const std::uint64_t riffBytes = kHeaderSize - 8 + dataBytes;
    const bool rf64 = riffBytes > kRiffLimit;
    std::string h;
    h.append(rf64 ? "RF64" : "RIFF");
    put32(h, rf64 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(riffBytes));
    h.append("WAVE");
    h.append(rf64 ? "ds64" : "JUNK");
    put32(h, 28);
    if (rf64) {
        put64(h, riffBytes);
        put64(h, dataBytes);
        put64(h, sampleCount);
        put32(h, 0);
    } else {
        h.append(28, '\0');
    }
    h.append("fmt ");
    put32(h, 16);
    put16(h, 1); // PCM
    put16(h, 1); // mono
    put32(h, kSampleRate);
    put32(h, kSampleRate * 2);
    put16(h, 2);
    put16(h, 16);
    h.append("data");
    put32(h, rf64 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(dataBytes));
    return h;
}

WavWriter::WavWriter(std::string path, std::string shownPath)
    : path_(shownPath.empty() ? path : std::move(shownPath)), file_(std::move(path))
{
    switch (file_.open()) {
    case AtomicFile::Opened::ok: break;
    case AtomicFile::Opened::notRegularFile: throw KvenError(msgNotRegularFile(path_));
    case AtomicFile::Opened::failed: throw KvenError(msgCannotCreate(path_));
    }
    if (!file_.write(header(0)))
        throw KvenError(msgCannotCreate(path_));
}

void WavWriter::append(const Samples& samples)
{
    // Samples are stored little-endian, which is the machine order on every target we build for.
    static_assert(std::endian::native == std::endian::little);
    const std::string_view bytes(reinterpret_cast<const char*>(samples.data()), samples.size() * sizeof(std::int16_t));
    if (!file_.write(bytes))
        throw KvenError(msgWriteFailed(path_));
    samples_ += samples.size();
}

void WavWriter::appendSilence(std::size_t count)
{
    append(Samples(count, 0));
}

void WavWriter::finish()
{
    seal();
    commit();
}

void WavWriter::seal()
{
    if (!file_.writeAt(0, header(samples_)) || !file_.seal())
        throw KvenError(msgCannotCreate(path_));
}

void WavWriter::commit()
{
    if (!file_.commit())
        throw KvenError(msgCannotCreate(path_));
}

} // namespace kven
