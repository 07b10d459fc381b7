#include "cli/TerminalProgress.h"

#include "export/AudioExport.h"

#include <cstdio>
#include <unistd.h>

namespace kven::cli {

TerminalProgress::TerminalProgress() : shown_(isatty(2) != 0)
{
}

void TerminalProgress::update(const AudioExport& job)
{
    if (!shown_)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(500))
        return;
    last_ = now;
    std::fputs(job.progressLine().c_str(), stderr);
    std::fflush(stderr);
}

void TerminalProgress::breakLine()
{
    if (shown_ && last_ != std::chrono::steady_clock::time_point{})
        std::fputs("\n", stderr);
}

void TerminalProgress::end(double seconds)
{
    if (!shown_)
        return;
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::fputs(ExportProgress::endLine(seconds, elapsed).c_str(), stderr);
}

} // namespace kven::cli
