#pragma once
// The sinks of the export formats: WAV through our own writer, Ogg Opus through libopusenc,
// FLAC, Ogg Vorbis and MP3 through libsndfile. Each file is written under a temporary name
// beside its target and takes the target's place only once it is complete.

#include "export/AudioFormats.h"
#include "export/AudioSink.h"

#include <memory>
#include <optional>
#include <string>

namespace kven {

// Whether the installed libsndfile can write the format (WAV always can).
bool canWrite(AudioFormat format);

// A sink that writes `format` into the temporary file of `path` and puts it there on commit;
// messages name `shownPath`. `bitrate` (kbit/s, within the format's range) only for a format
// that has one, else its default. Throws KvenError when the target is not a regular file,
// cannot be created, or the installed libsndfile cannot write the format.
std::unique_ptr<AudioSink> makeAudioSink(const std::string& path, const std::string& shownPath, AudioFormat format,
                                         const AudioTags& tags, std::optional<int> bitrate);

// makeAudioSink for `path`, named as itself. Exports that were killed leave their temporaries
// behind: those in the folder of `path` whose writer is gone and that nothing changed for a
// day go first.
std::unique_ptr<AudioSink> openAudioSink(const std::string& path, AudioFormat format, const AudioTags& tags,
                                         std::optional<int> bitrate = std::nullopt);

} // namespace kven
