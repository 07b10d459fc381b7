#pragma once
// The reading engine: the reading step, run by every end-of-stream event of the speech
// engine, and the Start and Stop commands. The reading state is nothing but the enabled
// states of Start and Stop in the window.

#include "app/WindowState.h"
#include "reading/LookAhead.h"
#include "reading/Waiter.h"
#include "speech/SpeechLib_TLB.h"

#include <cstdint>

namespace kven {

class Reader {
public:
    Reader(WindowState& window, SharedState& shared, SpeechEngine& tts, Waiter& waiter);

    // One reading step: hands the next chunk that has something to say to the engine and
    // moves the cursor past it; chunks with nothing to say are passed over in a loop. At the
    // end of the text it returns to idle. Does nothing while idle. The parameters are ignored.
    void TTSEndStream(int streamNumber = 0, std::int64_t streamPosition = 0);

    // Start: reading state, then one step.
    void Button1Click();
    // Stop: idle state, then the engine is asked to skip the rest of the utterance.
    void Button4Click();

private:
    WindowState& window_;
    SharedState& shared_;
    SpeechEngine& tts_;
    Waiter& waiter_;
    WindowFilter filter_;
};

} // namespace kven
