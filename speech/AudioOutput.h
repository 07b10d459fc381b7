#pragma once
// Where the sound of the speech engine goes: one stream per utterance, 48 kHz mono 16-bit,
// used from one worker thread at a time. Every call returns within a bound.

#include "speech/Wav.h"

#include <atomic>
#include <memory>
#include <span>
#include <string>

namespace kven {

class AudioStream {
public:
    virtual ~AudioStream() = default;
    enum class Drain { heard, cancelled, timedOut };

    // Waits until the samples are queued for playback. Returns false, without waiting any
    // longer, as soon as `cancel` is true. Throws KvenError when the server went away or
    // takes no sound for seconds (stopped or hung).
    virtual bool write(std::span<const std::int16_t> samples, const std::atomic<bool>& cancel) = 0;
    // Waits until everything written has been heard, for at most the sound still queued plus
    // a margin; gives up at once when `cancel` is true. Throws KvenError when the server went away.
    virtual Drain drain(const std::atomic<bool>& cancel) = 0;
    // Drops what has not been heard yet; the sound ends at once.
    virtual void flush() = 0;
};

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // A new stream, or none once `cancel` is true. Throws KvenError with a clear message when
    // no audio server can be reached or it does not answer within seconds.
    virtual std::unique_ptr<AudioStream> open(const std::atomic<bool>& cancel) = 0;
};

// The sound server of the desktop (PulseAudio, or PipeWire through its PulseAudio service).
// `device` names a sink; empty means the server's default.
std::unique_ptr<AudioOutput> makePulseOutput(std::string device = {});

} // namespace kven
