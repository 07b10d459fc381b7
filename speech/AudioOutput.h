#pragma once
// Where the sound of the speech engine goes: one stream per utterance, 48 kHz mono 16-bit,
// used from one worker thread at a time.

#include "speech/Wav.h"

#include <atomic>
#include <memory>
#include <span>

namespace kven {

class AudioStream {
public:
    virtual ~AudioStream() = default;
    // Blocks until the samples are queued for playback; callers pass small blocks so that
    // they can check for a cancel between them. Throws KvenError when the server went away.
    virtual void write(std::span<const std::int16_t> samples) = 0;
    // Blocks until everything written has been heard. Returns false, without waiting any
    // longer, as soon as `cancel` is true.
    virtual bool drain(const std::atomic<bool>& cancel) = 0;
    // Drops what has not been heard yet; the sound ends at once.
    virtual void flush() = 0;
};

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // A new stream. Throws KvenError with a clear message when no audio server can be reached.
    virtual std::unique_ptr<AudioStream> open() = 0;
};

// The sound server of the desktop (PulseAudio, or PipeWire through its PulseAudio service).
// `device` names a sink; empty means the server's default.
std::unique_ptr<AudioOutput> makePulseOutput(std::string device = {});

} // namespace kven
