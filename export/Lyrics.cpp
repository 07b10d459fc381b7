#include "export/Lyrics.h"

#include "files/Paths.h"
#include "speech/Wav.h"

#include <cstdio>

namespace kven {
namespace {

// One line of text: a line break or a tab would end or break the LRC line.
std::string oneLine(std::string_view text)
{
    std::string line;
    for (const char c : text)
        line.push_back(c == '\r' || c == '\n' || c == '\t' ? ' ' : c);
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return line.substr(first, line.find_last_not_of(' ') - first + 1);
}

} // namespace

std::string lyricsTime(std::uint64_t sample)
{
    // Whole hundredths, rounded half up: integer arithmetic, so no error grows with the length.
    const std::uint64_t hundredths = (sample * 100 + kSampleRate / 2) / kSampleRate;
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "[%02llu:%02llu.%02llu]", static_cast<unsigned long long>(hundredths / 6000),
                  static_cast<unsigned long long>(hundredths / 100 % 60),
                  static_cast<unsigned long long>(hundredths % 100));
    return buffer;
}

std::string lyricsPathOf(std::string_view audioPath)
{
    return std::string(audioPath.substr(0, audioPath.size() - extensionOf(audioPath).size())) + ".lrc";
}

LyricsTrack::LyricsTrack(const AudioTags& tags)
{
    const auto tag = [this](std::string_view name, const std::string& value) {
        if (!value.empty())
            text_ += "[" + std::string(name) + ":" + oneLine(value) + "]\n";
    };
    tag("ti", tags.title);
    tag("ar", tags.artist);
    tag("al", tags.album);
}

void LyricsTrack::add(std::uint64_t sample, std::string_view text)
{
    text_ += lyricsTime(sample) + oneLine(text) + "\n";
}

} // namespace kven
