#include "export/AudioFormats.h"

#include "files/Paths.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

namespace kven {
namespace {

struct FormatInfo {
    AudioFormat format;
    const char* extension;
    std::optional<int> bitrate;
    std::optional<BitrateRange> range;
};

// In the order of AudioFormat.
constexpr FormatInfo kFormats[] = {
    {AudioFormat::wav, ".wav", std::nullopt, std::nullopt},   {AudioFormat::flac, ".flac", std::nullopt, std::nullopt},
    {AudioFormat::vorbis, ".ogg", 48, BitrateRange{45, 240}}, {AudioFormat::opus, ".opus", 28, BitrateRange{6, 256}},
    {AudioFormat::mp3, ".mp3", 64, BitrateRange{32, 320}},
};
static_assert(std::size(kFormats) == std::size(kAudioFormats));

const FormatInfo& infoOf(AudioFormat format)
{
    return kFormats[static_cast<std::size_t>(format)];
}

} // namespace

std::optional<AudioFormat> audioFormatOf(std::string_view path)
{
    std::string ext(kven::extensionOf(path));
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    if (ext == ".oga")
        return AudioFormat::vorbis;
    for (const FormatInfo& info : kFormats)
        if (ext == info.extension)
            return info.format;
    return std::nullopt;
}

const char* extensionOf(AudioFormat format)
{
    return infoOf(format).extension;
}

std::optional<int> defaultBitrate(AudioFormat format)
{
    return infoOf(format).bitrate;
}

std::optional<BitrateRange> bitrateRange(AudioFormat format)
{
    return infoOf(format).range;
}

std::string msgCannotEncode(std::string_view extension)
{
    return std::string(extension) + " の形式はこのシステムでは書き出せません";
}

} // namespace kven
