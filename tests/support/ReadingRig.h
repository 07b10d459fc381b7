#pragma once
// A reader wired to a session, a scripted engine and a recording waiter.

#include "reading/Reader.h"
#include "state/Session.h"
#include "support/ScriptedEngine.h"
#include "support/Sjis.h"

#include <functional>
#include <string>
#include <vector>

namespace kven::testing {

// Records each pause and lets it pass at once; while `holding`, the pauses run only when the
// test lets them elapse, as the window's timer does.
class RecordingWaiter : public Waiter {
public:
    void after(int milliseconds, std::function<void()> then) override
    {
        waits.push_back(milliseconds);
        if (holding)
            held.push_back(std::move(then));
        else
            then();
    }
    // Runs the pauses held so far; returns how many.
    std::size_t elapse()
    {
        std::vector<std::function<void()>> due = std::move(held);
        held.clear();
        for (auto& then : due)
            then();
        return due.size();
    }
    std::vector<int> waits;
    bool holding = false;
    std::vector<std::function<void()>> held;
};

struct ReadingRig {
    ReadingRig()
    {
        engine.setOnEndStream([this](int stream, std::int64_t pos) { reader.endOfStream(stream, pos); });
        engine.setOnStreamFailed([this](int stream) { reader.streamFailed(stream); });
        session.setTalkSymbols(sj("、。\r\n"));
    }

    void setText(const char* utf8) { session.setText(sj(utf8)); }

    // Start, then let every utterance finish until reading returns to idle. Returns what was
    // said, as UTF-8.
    std::vector<std::string> readAll(std::size_t maxSteps = 100000)
    {
        reader.start();
        for (std::size_t i = 0; i < maxSteps && session.reading(); ++i) {
            waiter.elapse();
            engine.finishSpeaking();
            if (queue.runPending() == 0)
                break;
        }
        return said();
    }

    std::vector<std::string> said() const
    {
        std::vector<std::string> out;
        for (const auto& s : engine.spoken)
            out.push_back(u8(s));
        return out;
    }

    Session session;
    EventQueue queue;
    ScriptedEngine engine{queue};
    RecordingWaiter waiter;
    Reader reader{session, engine, waiter};
};

} // namespace kven::testing
