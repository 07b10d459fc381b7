#pragma once
// Ctrl+C, SIGTERM and SIGHUP: the reader stops at once, and an export under way is cancelled.

namespace kven {
class AudioExport;
}

namespace kven::cli {

// From now on those signals are caught.
void catchInterrupts();
// Whether one of them came.
bool interrupted();

// While it lives, an interrupt cancels `job`, which is cancelled at once when one came before.
class CancelOnInterrupt {
public:
    explicit CancelOnInterrupt(AudioExport& job);
    ~CancelOnInterrupt();
    CancelOnInterrupt(const CancelOnInterrupt&) = delete;
    CancelOnInterrupt& operator=(const CancelOnInterrupt&) = delete;
};

} // namespace kven::cli
