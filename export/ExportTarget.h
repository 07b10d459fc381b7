#pragma once
// The target of an export: one audio file here, one file per chapter in ChapterFiles.h.

#include "export/AudioFormats.h"
#include "export/AudioSink.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kven {

// What a run of a split export finds of earlier runs of it.
struct TakenOver {
    std::size_t kept = 0;     // chapter files it keeps instead of making them again
    std::size_t setAside = 0; // whole chapter files of stopped runs it leaves for another run (another start point)
    std::vector<std::string> setAsideFolders = {};
    bool operator==(const TakenOver&) const = default;
};

// Where an export's speech goes, utterance after utterance, each with the index of the
// chapter it belongs to; indices never go back.
class ExportTarget {
public:
    virtual ~ExportTarget() = default;
    virtual void append(std::size_t chapter, const Samples& samples) = 0;
    // The next samples of `chapter` begin the speech of an utterance that says `text` (UTF-8):
    // a line of the text track, for a target that writes one.
    virtual void cue(std::size_t chapter, std::string_view text) = 0;
    // Whether the file of `chapter` can be kept from an earlier run of the same export instead
    // of being made again; from any thread. Then keep(chapter) takes the place of its appends.
    virtual bool canKeep(std::size_t) const { return false; }
    virtual void keep(std::size_t) {}
    // What this run takes over from earlier ones, known once the target is made.
    virtual TakenOver takenOver() const { return {}; }
    // Completes and puts in place everything written. Throws KvenError on any failure;
    // whatever was not put in place by then is removed with the target.
    virtual void finish() = 0;
    // Without finish(), everything written goes when the target does.
};

// Everything into one file; chapters do not matter. With `lyricsPath`, the text track goes
// there (tagged with `tags`), put in place with the audio file and only with it.
std::unique_ptr<ExportTarget> singleFileTarget(std::unique_ptr<AudioSink> sink, std::string lyricsPath = {},
                                               const AudioTags& tags = {});

} // namespace kven
