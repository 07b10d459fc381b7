#pragma once
// One run of the synthesizer as a child process: started without a shell, with its three
// standard streams on pipes and no other descriptor, given its input on standard input, watched
// until it ends, then killed together with whatever it started, and reaped.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace kven {

struct SynthesizerLimits {
    std::chrono::milliseconds timeout; // from the input written to the end
    std::size_t outputCap;             // standard output beyond this ends the run
    std::size_t messageCap;            // standard error beyond this is dropped
};

// What came of a run. At most one flag is set; with none, `status` tells how the process ended.
struct SynthesizerRun {
    std::string output;   // standard output, at most one read buffer past the cap
    std::string messages; // standard error, likewise
    int status = 0;       // as waitpid gives it
    bool cancelled = false;
    bool timedOut = false;
    bool tooLarge = false;
};

// Runs `args` (the first is the program's path) with `input` on its standard input, until it
// ends, `cancel` becomes true, the timeout passes or the output grows past its cap. Throws
// KvenError when it cannot be started.
SynthesizerRun runSynthesizer(const std::vector<std::string>& args, const std::string& input,
                              const SynthesizerLimits& limits, const std::atomic<bool>& cancel);

} // namespace kven
