#pragma once
// How much of a text is said, utterance by utterance, for the time reading the rest will take:
// the bytes of source text are an uneven measure of speech (a ruby reading is said for its base,
// notes are silent), what the synthesizer is handed is an even one. Worked out a stretch at a
// time, so that a window can do it between its events without ever holding them up.

#include "reading/ChunkFilter.h"
#include "state/Session.h"

#include <cstddef>
#include <vector>

namespace kven {

class SpokenWeights {
public:
    // Starts over, for a text that changed.
    void reset();
    // Walks on through the session's text from where it stopped, utterance by utterance as the
    // reading step would, until it has passed `budget` bytes of text or the end. True once the
    // whole text is walked.
    bool advance(const Session& session, const FilterOptions& options, std::size_t budget);
    bool complete() const { return complete_; }
    // The bytes handed to the synthesizer for the utterances that start at or after `offset`;
    // meaningful once complete.
    std::size_t spokenFrom(std::size_t offset) const;
    // Everything said of the text.
    std::size_t total() const { return cumulative_.empty() ? 0 : cumulative_.back(); }

private:
    std::vector<std::size_t> starts_;     // where each utterance starts, rising
    std::vector<std::size_t> cumulative_; // the bytes said before utterance i; one more at the end
    std::size_t next_ = 0;                // where the walk goes on
    bool complete_ = false;
};

} // namespace kven
