// Reading the synthesizer's WAV output, trimming silence, and the header of written files.

#include "files/Errors.h"
#include "speech/Wav.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

namespace kven {
namespace {

std::string wavBytes(const Samples& samples)
{
    std::string bytes = WavWriter::header(samples.size());
    for (const std::int16_t s : samples) {
        bytes.push_back(static_cast<char>(s & 0xFF));
        bytes.push_back(static_cast<char>((s >> 8) & 0xFF));
    }
    return bytes;
}

// The 44-byte header the synthesizer writes.
std::string plainHeader(std::uint32_t dataBytes, std::uint32_t rate = 48000, std::uint16_t bits = 16)
{
    std::string h = "RIFF";
    const auto put = [&h](std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            h.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    put(36 + dataBytes, 4);
    h += "WAVEfmt ";
    put(16, 4);
    put(1, 2);
    put(1, 2);
    put(rate, 4);
    put(rate * 2, 4);
    put(2, 2);
    put(bits, 2);
    h += "data";
    put(dataBytes, 4);
    return h;
}

TEST(ParseWav, ReadsPlainAndOwnFilesAndPassesOverOtherChunks)
{
    const Samples samples = {0, 1, -1, 32767, -32768, 300};
    EXPECT_EQ(parseWav(wavBytes(samples)), samples) << "our own header has a JUNK chunk";
    std::string plain = plainHeader(4) + std::string("\x01\x00\xff\xff", 4);
    EXPECT_EQ(parseWav(plain), (Samples{1, -1}));
}

TEST(ParseWav, RefusesWhatIsNotOurFormat)
{
    EXPECT_THROW(parseWav(""), KvenError);
    EXPECT_THROW(parseWav("not a wav"), KvenError);
    EXPECT_THROW(parseWav(plainHeader(0, 44100)), KvenError);
    EXPECT_THROW(parseWav(plainHeader(0, 48000, 8)), KvenError);
    EXPECT_THROW(parseWav(plainHeader(0).substr(0, 30)), KvenError) << "header cut short";
    EXPECT_THROW(parseWav(plainHeader(1000) + std::string("\x02\x00", 2)), KvenError) << "data cut short";
}

TEST(TrimSilence, KeepsAtMostTheGivenSilenceAtEachEnd)
{
    Samples s = {0, 3, -5, 0, 900, 0, -900, 0, 10, 0, 0};
    trimSilence(s, 2, 2, 64);
    EXPECT_EQ(s, (Samples{-5, 0, 900, 0, -900, 0, 10}));

    // Less silence than allowed stays as it is; inner silence is never touched.
    Samples short_ = {0, 700, 0, 0, 0, 0, -700, 0};
    trimSilence(short_, 2, 2, 64);
    EXPECT_EQ(short_, (Samples{0, 700, 0, 0, 0, 0, -700, 0}));

    // Each end by its own measure.
    Samples uneven = {0, 0, 0, 500, 0, 0, 0};
    trimSilence(uneven, 1, 3, 64);
    EXPECT_EQ(uneven, (Samples{0, 500, 0, 0, 0}));

    // The threshold itself counts as silence, one above it as sound.
    Samples edge = {64, -64, 65, 64};
    trimSilence(edge, 0, 0, 64);
    EXPECT_EQ(edge, (Samples{65}));

    // However much silence is asked for, even more than an index can count, all of it stays.
    Samples all = {0, 500, 0, 0};
    trimSilence(all, SIZE_MAX, SIZE_MAX, 64);
    EXPECT_EQ(all, (Samples{0, 500, 0, 0}));
}

TEST(TrimSilence, SilenceThroughoutBecomesNothing)
{
    Samples s(48000, 12);
    trimSilence(s, 2400, 2400);
    EXPECT_TRUE(s.empty());
    Samples none;
    trimSilence(none, 10, 10);
    EXPECT_TRUE(none.empty());
}

TEST(WavWriter, WritesSilenceAndSamplesThenTheRealSizes)
{
    testing::ScratchFolder folder;
    const std::string path = folder.path("out.wav");
    {
        WavWriter writer(path);
        writer.appendSilence(3);
        writer.append({7, -7});
        EXPECT_EQ(writer.sampleCount(), 5u);
        writer.finish();
    }
    const std::string bytes = folder.read("out.wav");
    EXPECT_EQ(bytes.size(), WavWriter::header(0).size() + 10);
    EXPECT_EQ(bytes.substr(0, WavWriter::header(5).size()), WavWriter::header(5));
    EXPECT_EQ(parseWav(bytes), (Samples{0, 0, 0, 7, -7}));
    EXPECT_THROW(WavWriter(folder.path("no/such/folder.wav")), KvenError);
}

TEST(WavWriter, PastFourGibibytesTheHeaderBecomesRf64)
{
    const std::size_t headerSize = WavWriter::header(0).size();
    // The largest plain RIFF: its size field is exactly 0xFFFFFFFF.
    const std::uint64_t largest = (0xFFFFFFFFull - (headerSize - 8)) / 2;
    EXPECT_EQ(WavWriter::header(largest).substr(0, 4), "RIFF");
    const std::string big = WavWriter::header(largest + 1);
    ASSERT_EQ(big.size(), headerSize) << "same size, so the samples never move";
    EXPECT_EQ(big.substr(0, 4), "RF64");
    EXPECT_EQ(big.substr(12, 4), "ds64");
    std::uint64_t dataBytes = 0;
    for (int i = 7; i >= 0; --i)
        dataBytes = dataBytes << 8 | static_cast<unsigned char>(big[28 + static_cast<std::size_t>(i)]);
    EXPECT_EQ(dataBytes, (largest + 1) * 2);
}

} // namespace
} // namespace kven
