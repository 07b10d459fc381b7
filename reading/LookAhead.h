#pragma once
// What the next reading step will say, worked out ahead of time so the engine can start on
// it while the current utterance plays.

#include "reading/ChunkFilter.h"
#include "reading/FilterTables.h"
#include "state/WindowState.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kven {

// The filter options as one window's controls set them, with the reading dictionary of its
// shared state. The skip list and the talk symbols are prepared for lookup once per change of
// them (the window's lists revision), not at every step. The options view the window's lists,
// the dictionary and this object's tables, so they must not outlive a change of those or
// this object.
class WindowFilter {
public:
    WindowFilter(const WindowState& window, const SharedState& shared) : window_(window), shared_(shared) {}

    FilterOptions options();

private:
    const WindowState& window_;
    const SharedState& shared_;
    std::optional<std::uint64_t> revision_; // of the lists the tables were built from
    FilterTables tables_;
};

// A chunk and what is said of it (Shift_JIS).
struct Utterance {
    std::size_t start = 0;
    std::size_t length = 0;
    std::string spoken;
};

// The first chunk from `from` on that the reading step would hand to the engine: the same
// chunks, filter and repeat suppression as the step itself, with the window's options as
// `options` holds them. Nothing when the text ends first. Changes nothing.
std::optional<Utterance> utteranceFrom(const WindowState& window, const SharedState& shared,
                                       const FilterOptions& options, std::size_t from);

// The filtered text (Shift_JIS) the next reading step would hand to the engine, from the
// cursor on: the same chunks, filter and repeat suppression as the step itself, with the
// window's options as `options` holds them. Empty when the step would reach the end of the
// text without saying anything. Changes nothing: the cursor, the selection and the last
// spoken text stay as they are.
std::string nextUtterance(const WindowState& window, const SharedState& shared, const FilterOptions& options);

} // namespace kven
