#pragma once
// The voice and the speed of the settings put into use on a speech engine: the voice list as
// window creation builds it, and the same with the speed for an engine that reads for the
// command line or an export.

#include "speech/SpeechEngine.h"
#include "state/Session.h"

#include <vector>

namespace kven {

// What the window's voice list shows when the chosen index is below 0.
enum class NegativeVoiceIndex {
    selectsNothing, // the engine keeps the voice it has
    selectsFirst,
};

// The voice list at window creation: the engine's event interests (all of them), its voices
// into the window's list (descriptions in Shift_JIS), voice `index` selected (an index past
// the end selects the last) and the selected voice handed to the engine. Returns the voices
// in the list's order.
std::vector<VoiceHandle> setUpVoiceList(SpeechEngine& engine, Session& session, int index, NegativeVoiceIndex negative);

// The window's speed handed to the engine when it is not 0 (the engine's own), then the voice
// list with voice `index` selected, the first for an index below 0. Returns the voices in the
// list's order.
std::vector<VoiceHandle> applyVoiceChoice(SpeechEngine& engine, Session& session, int index);

} // namespace kven
