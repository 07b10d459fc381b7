#pragma once
// The engine behind `kven-read --dump`: says nothing, writes one line per utterance (the
// chunk's start offset, a TAB, the spoken text in UTF-8 with CR and LF written as \r and \n)
// and ends the stream at once through the event loop.

#include "speech/NullEngine.h"
#include "state/Session.h"

#include <cstdio>

namespace kven {

class DumpEngine : public NullEngine {
public:
    DumpEngine(EventPoster& loop, const Session& session, std::FILE* out);

    // The dump line for one utterance, "\n" included.
    static std::string dumpLine(std::size_t offset, std::u16string_view text);

protected:
    void doSpeak(std::u16string_view text, int flags, int streamNumber) override;

private:
    const Session& session_;
    std::FILE* out_;
};

} // namespace kven
