#pragma once
// What the next reading step will say, worked out ahead of time so the engine can start on
// it while the current utterance plays.

#include "app/WindowState.h"
#include "reading/ChunkFilter.h"

#include <string>

namespace kven {

// The filter options as the window's controls set them; the skip list and the talk symbols
// are viewed, not copied, so the options must not outlive a change of those controls.
FilterOptions filterOptions(const WindowState& window);

// The filtered text (Shift_JIS) the next reading step would hand to the engine, from the
// cursor on: the same chunks, filter and repeat suppression as the step itself. Empty when
// the step would reach the end of the text without saying anything. Changes nothing: the
// cursor, the selection and the last spoken text stay as they are.
std::string nextUtterance(const WindowState& window, const SharedState& shared);

} // namespace kven
