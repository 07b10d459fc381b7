#pragma once
// The engine behind `kven-read --dump`: says nothing, writes one line per utterance (the
// chunk's start offset, a TAB, the spoken text in UTF-8 with CR and LF written as \r and \n)
// and ends the stream at once through the event loop.

#include "app/WindowState.h"
#include "speech/SpeechLib_TLB.h"

#include <cstdio>

namespace kven {

class DumpEngine : public SpeechEngine {
public:
    DumpEngine(EventPoster& loop, const WindowState& window, std::FILE* out);

    // The dump line for one utterance, "\n" included.
    static std::string dumpLine(std::size_t offset, std::u16string_view text);

protected:
    void doConnect() override {}
    void doSetEventInterests(int) override {}
    std::vector<VoiceHandle> doGetVoices() override { return {}; }
    void doSetVoice(const VoiceHandle&) override {}
    void doSetRate(int) override {}
    void doSpeak(std::u16string_view text, int flags, int streamNumber) override;
    void doSkip(std::string_view, int) override {}

private:
    const WindowState& window_;
    std::FILE* out_;
};

} // namespace kven
