#pragma once
// The speech engine the programs speak through.

#include "speech/SpeechEngine.h"

#include <memory>

namespace kven {

// The default back end: the installed Open JTalk voices, played through the audio output.
std::unique_ptr<SpeechEngine> makeSpeechEngine(EventPoster& loop);

} // namespace kven
