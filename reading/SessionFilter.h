#pragma once
// The reading filter as a session sets it, and the one forward walk over its chunks: what the
// reading step will say from a place on, worked out ahead so the engine can start on it early.

#include "reading/ChunkFilter.h"
#include "reading/FilterTables.h"
#include "state/Session.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kven {

// The filter options as one session sets them, with its reading dictionary, the synthesizer's
// analysis when a reading option asks for it, and the readings the text teaches (found once
// per change of the text).
// The skip list and the talk symbols are prepared for lookup once per change of them (the
// session's lists revision), not at every step. The options view the session's lists,
// the dictionary and this object's tables, so they must not outlive a change of those or
// this object.
class SessionFilter {
public:
    explicit SessionFilter(const Session& session) : session_(session) {}

    FilterOptions options();

private:
    const Session& session_;
    std::optional<std::uint64_t> revision_; // of the lists the tables were built from
    FilterTables tables_;
    std::optional<std::uint64_t> taughtRevision_; // of the text the readings were found in
    std::vector<PlaceReading> taught_;
};

// A chunk and what is said of it (Shift_JIS).
struct Utterance {
    std::size_t start = 0;
    std::size_t length = 0;
    std::string spoken;
};

// The first chunk from `from` on that the reading step would hand to the engine: the same
// chunks, filter and repeat suppression as the step itself, with the session's options as
// `options` holds them. Nothing when the text ends first. Changes nothing.
std::optional<Utterance> utteranceFrom(const Session& session, const FilterOptions& options, std::size_t from);

// The filtered text (Shift_JIS) the next reading step would hand to the engine, from the
// cursor on: the same chunks, filter and repeat suppression as the step itself, with the
// session's options as `options` holds them. Empty when the step would reach the end of the
// text without saying anything. Changes nothing: the cursor, the selection and the last
// spoken text stay as they are.
std::string nextUtterance(const Session& session, const FilterOptions& options);

} // namespace kven
