#pragma once
// What the next reading step will say, worked out ahead of time so the engine can start on
// it while the current utterance plays.

#include "app/WindowState.h"

#include <string>

namespace kven {

// The filtered text (Shift_JIS) the next reading step would hand to the engine, from the
// cursor on: the same chunks, filter and repeat suppression as the step itself. Empty when
// the step would reach the end of the text without saying anything. Changes nothing: the
// cursor, the selection and the last spoken text stay as they are.
std::string nextUtterance(const WindowState& window, const SharedState& shared);

} // namespace kven
