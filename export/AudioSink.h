#pragma once
// One audio file of an export as it is written, and the part that the sinks with an encoder
// share.

#include "files/FileIo.h"
#include "speech/Wav.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kven {

// The speech of an export in one file: 48 kHz, mono, 16-bit samples in order.
class AudioSink {
public:
    virtual ~AudioSink() = default;
    virtual void append(const Samples& samples) = 0;
    virtual std::uint64_t sampleCount() const = 0;
    // Completes the file, still under its temporary name; nothing can be appended after.
    // Throws KvenError on any failure.
    virtual void seal() = 0;
    // Seals the file if that is not done and puts it in place of the target. Throws
    // KvenError on any failure, the target then unchanged.
    virtual void commit() = 0;
    void finish()
    {
        seal();
        commit();
    }
};

// What the encoding sinks share: the encoder writes, through callbacks, into the temporary
// file of an AtomicFile, so that a failed write is seen whatever the encoder makes of it, and
// the file takes its place only when complete. The first failure is kept and ends the file.
class EncodingSink : public AudioSink {
public:
    void append(const Samples& samples) final;
    std::uint64_t sampleCount() const final { return samples_; }
    void seal() final;
    void commit() final;

protected:
    // Creates the temporary file of `path`; throws KvenError when the target is no regular file
    // or the file cannot be made. Messages name `shownPath`.
    EncodingSink(const std::string& path, std::string shownPath);

    // The derived sink's encoder is open (from its constructor) and takes samples.
    void started() { encoding_ = true; }
    virtual bool encode(const Samples& samples) = 0;
    // Ends the encoder, flushing it; false when it failed.
    virtual bool finishEncoder() = 0;
    // Ends the encoder without a care for what it still holds.
    virtual void dropEncoder() noexcept = 0;

    // Writes for the encoder at `offset`, or after what was written; false on failure, which
    // is kept for the sink to report.
    bool put(std::string_view bytes, std::optional<std::uint64_t> offset);
    // Reports the first failure, removing the temporary file.
    [[noreturn]] void fail();
    bool failed() const { return failedErrno_ != 0; }

private:
    std::string path_;
    AtomicFile file_;
    std::uint64_t samples_ = 0;
    int failedErrno_ = 0;
    bool encoding_ = false;
};

} // namespace kven
