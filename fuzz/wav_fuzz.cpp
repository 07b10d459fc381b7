// The WAV reader on arbitrary bytes either gives samples that were in them or throws the
// program's error; samples written by the writer read back the same; trimming silence keeps
// every loud sample and at most the asked-for silence on either side.

#include "files/Errors.h"
#include "fuzz/FuzzSupport.h"
#include "speech/Wav.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

using kven::fuzzing::check;

void checkReader(std::string_view bytes)
{
    try {
        const kven::Samples samples = kven::parseWav(bytes);
        check(samples.size() * 2 <= bytes.size(), "samples come from the input");
    } catch (const kven::KvenError&) {
    }
}

void checkWriter(const kven::Samples& samples, std::size_t split, std::size_t silence)
{
    const std::string path = kven::fuzzing::scratch().path("out.wav");
    {
        kven::WavWriter writer(path);
        writer.append(kven::Samples(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(split)));
        writer.appendSilence(silence);
        writer.append(kven::Samples(samples.begin() + static_cast<std::ptrdiff_t>(split), samples.end()));
        writer.finish();
    }
    kven::Samples expected = samples;
    expected.insert(expected.begin() + static_cast<std::ptrdiff_t>(split), silence, 0);
    try {
        check(kven::parseWav(kven::fuzzing::scratch().read("out.wav")) == expected, "written samples read back");
    } catch (const kven::KvenError& e) {
        kven::fuzzing::fail(e.what());
    }
}

void checkTrim(const kven::Samples& samples, std::size_t keepFront, std::size_t keepBack, int threshold)
{
    kven::Samples trimmed = samples;
    kven::trimSilence(trimmed, keepFront, keepBack, threshold);
    const auto loud = [threshold](std::int16_t s) { return std::abs(static_cast<int>(s)) > threshold; };
    const auto first = std::find_if(samples.begin(), samples.end(), loud);
    if (first == samples.end()) {
        check(trimmed.empty(), "silence throughout leaves nothing");
        return;
    }
    const auto lead = static_cast<std::size_t>(first - samples.begin());
    const auto tail = static_cast<std::size_t>(std::find_if(samples.rbegin(), samples.rend(), loud) - samples.rbegin());
    const std::size_t begin = lead - std::min(lead, keepFront);
    const std::size_t end = samples.size() - (tail - std::min(tail, keepBack));
    check(trimmed.size() == end - begin &&
              std::equal(trimmed.begin(), trimmed.end(), samples.begin() + static_cast<std::ptrdiff_t>(begin)),
          "trimming keeps the loud part and the asked-for silence");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    checkReader(std::string_view(reinterpret_cast<const char*>(data), size));

    FuzzedDataProvider input(data, size);
    const std::size_t keepFront = input.ConsumeIntegral<std::size_t>();
    const std::size_t keepBack = input.ConsumeIntegral<std::size_t>();
    const int threshold = input.ConsumeIntegral<int>();
    const std::size_t silence = input.ConsumeIntegralInRange<std::size_t>(0, 64);
    const std::string rest = input.ConsumeRemainingBytesAsString();
    kven::Samples samples(rest.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(static_cast<unsigned char>(rest[2 * i]) |
                                               static_cast<unsigned char>(rest[2 * i + 1]) << 8);
    checkTrim(samples, keepFront, keepBack, threshold);
    checkWriter(samples, std::min(samples.size(), keepFront % 64), silence);
    return 0;
}
