#pragma once
// The progress line of an export, on a terminal only and at most twice a second.

#include <chrono>

namespace kven {
class AudioExport;
}

namespace kven::cli {

class TerminalProgress {
public:
    TerminalProgress();

    void update(const AudioExport& job);
    // Ends a progress line that was left open, so that a message starts on a line of its own.
    void breakLine();
    // The closing line: `seconds` of speech written, and the time it took.
    void end(double seconds);

private:
    bool shown_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point last_{};
};

} // namespace kven::cli
