// The text track of an export with arbitrary tags and lines: read as a player that finds tags
// anywhere on a line reads it, every line holds one tag or one time stamp, at its start, and
// every utterance has its timed line.

#include "export/Lyrics.h"
#include "fuzz/FuzzSupport.h"
#include "support/TrackTags.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using kven::fuzzing::check;
    FuzzedDataProvider input(data, size);
    kven::AudioTags tags;
    tags.title = input.ConsumeRandomLengthString(256);
    tags.artist = input.ConsumeRandomLengthString(256);
    tags.album = input.ConsumeRandomLengthString(256);
    kven::LyricsTrack track(tags);
    std::size_t added = 0;
    while (input.remaining_bytes() > 0) {
        const auto sample = input.ConsumeIntegral<std::uint32_t>();
        track.add(sample, input.ConsumeRandomLengthString(512));
        ++added;
    }
    const std::string& text = track.text();
    if (const auto fault = kven::testing::trackFault(text)) {
        std::fprintf(stderr, "%s\n", fault->c_str());
        kven::fuzzing::fail("each line is one tag or one timed line");
    }
    // Tag lines begin with a letter, timed lines with a digit.
    std::size_t timed = 0;
    for (std::size_t at = 0; at < text.size(); at = text.find('\n', at) + 1)
        timed += text[at + 1] >= '0' && text[at + 1] <= '9' ? 1 : 0;
    check(timed == added, "a timed line per utterance");
    return 0;
}
