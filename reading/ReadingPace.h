#pragma once
// How fast reading goes through the text, as measured while it reads: how far the reading got
// between the ends of utterances that follow each other (in bytes of the text, or in bytes
// said: see SpokenWeights) over the time that took, the pause before each utterance included,
// so that the time left it gives is the time the listener will wait. Measures are kept at
// speed 0: a stretch read at speed s counts 3^(-s/10) times its bytes, as the synthesizer says
// 3^(s/10) times as much in a second. Whatever moves the cursor restarts the span being
// measured; the pace learned so far stays.

#include <chrono>
#include <cstddef>

namespace kven {

class ReadingPace {
public:
    using Clock = std::chrono::steady_clock;

    // Bytes of Shift_JIS text a second at speed 0 before enough is measured: a tenth of the
    // corpus novel, 72 KB, takes the voices 81 minutes, pauses included; of them, 63 KB are
    // handed to the synthesizer.
    static constexpr double kUsualBytesPerSecond = 15.0;
    static constexpr double kUsualSpokenBytesPerSecond = 13.0;

    explicit ReadingPace(double usualBytesPerSecond = kUsualBytesPerSecond) : usual_(usualBytesPerSecond) {}
    // The measured pace counts once it rests on this much reading.
    static constexpr double kEnoughSeconds = 10.0;

    // Reading started or stopped, or something other than reading moved the cursor (a jump, a
    // click, an utterance cut short, another text): the next end of an utterance starts a new
    // span, and nothing up to it is measured.
    void restart() { measuring_ = false; }
    // An utterance ended while reading at `speed`, and the cursor stands at `cursor`: the span
    // since the end before it is measured, unless a restart came between. A stretch the cursor
    // did not simply walk (a step back, a move too long for a chunk, a long wait) is not.
    void utteranceEnded(Clock::time_point now, std::size_t cursor, int speed);

    // Bytes a second at `speed`.
    double bytesPerSecond(int speed) const;
    // The time `bytes` of text take at `speed`.
    double secondsFor(std::size_t bytes, int speed) const { return static_cast<double>(bytes) / bytesPerSecond(speed); }

private:
    double usual_;
    bool measuring_ = false;
    Clock::time_point last_{};
    std::size_t cursor_ = 0;
    double bytes_ = 0; // at speed 0
    double seconds_ = 0;
};

} // namespace kven
