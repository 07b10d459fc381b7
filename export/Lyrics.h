#pragma once
// The text track of an exported audio file: an LRC file beside it ("book.lrc" for
// "book.opus") with one line per utterance, "[mm:ss.xx]" and what the utterance says as the
// book shows it (UTF-8). Times come from the samples written before each utterance's speech,
// never from a clock, so they stay exact however long the file. A tag or a time stamp is
// only ever one that this file makes: no text of the book or of its tags can start one.

#include "export/AudioFormats.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kven {

// "[mm:ss.xx]" for the moment `sample` of a 48 kHz file, to the nearest hundredth of a second;
// the minutes go past 99 as they must.
std::string lyricsTime(std::uint64_t sample);

// The LRC file of an audio file: its path with ".lrc" in place of its extension.
std::string lyricsPathOf(std::string_view audioPath);

// The lines of one file's track, made as its utterances are written.
class LyricsTrack {
public:
    // The title, artist and album tags head the file, those with anything to say.
    explicit LyricsTrack(const AudioTags& tags);
    // An utterance whose speech begins at `sample`. In `text` and in the tags, line breaks and
    // other control characters become blanks, and the brackets [ ] < > their full-width forms.
    void add(std::uint64_t sample, std::string_view text);
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

} // namespace kven
