#include "export/Lyrics.h"

#include "files/Paths.h"
#include "speech/Wav.h"
#include "text/Utf8.h"

#include <cstdio>

namespace kven {
namespace {

// A field as one line of the track that no player can take for a tag or a time stamp, however
// it looks for them: the brackets of both (and of the time stamps some players read within a
// line) become their full-width forms, a line break or any other control character a blank,
// bytes that are no UTF-8 the replacement character; blanks at either end go.
std::string trackField(std::string_view text)
{
    std::string line;
    for (std::size_t i = 0; i < text.size();) {
        const utf8::Step step = utf8::decode(text, i);
        const std::string_view bytes = text.substr(i, step.length);
        i += step.length;
        if (!step.valid()) {
            line += "\uFFFD";
            continue;
        }
        switch (step.codePoint) {
        case U'[': line += "［"; break;
        case U']': line += "］"; break;
        case U'<': line += "＜"; break;
        case U'>': line += "＞"; break;
        default:
            // C0 and C1 controls, DEL, and the line and paragraph separators.
            if (step.codePoint < 0x20 || (step.codePoint >= 0x7F && step.codePoint < 0xA0) ||
                step.codePoint == 0x2028 || step.codePoint == 0x2029)
                line.push_back(' ');
            else
                line += bytes;
        }
    }
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
        if (const std::string field = trackField(value); !field.empty())
            text_ += "[" + std::string(name) + ":" + field + "]\n";
    };
    tag("ti", tags.title);
    tag("ar", tags.artist);
    tag("al", tags.album);
}

void LyricsTrack::add(std::uint64_t sample, std::string_view text)
{
    text_ += lyricsTime(sample) + trackField(text) + "\n";
}

} // namespace kven
