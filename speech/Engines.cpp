#include "speech/Engines.h"

#include "speech/AudioOutput.h"
#include "speech/OpenJTalkEngine.h"

namespace kven {

std::unique_ptr<SpeechEngine> makeSpeechEngine(EventPoster& loop)
{
    return std::make_unique<OpenJTalkEngine>(loop, OpenJTalkSetup::standard(), makePulseOutput());
}

} // namespace kven
