#include "export/ExportProgress.h"

#include <algorithm>
#include <cstdio>

namespace kven {

std::string clockText(double seconds)
{
    const long s = static_cast<long>(seconds + 0.5);
    char buf[32];
    if (s >= 3600)
        std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
    return buf;
}

double ExportProgress::done(std::size_t written) const
{
    const std::size_t n = std::min(written, ends_.size());
    const std::size_t position = n ? ends_[n - 1] : from_;
    const double total = size_ > from_ ? static_cast<double>(size_ - from_) : 1.0;
    return std::min(1.0, static_cast<double>(position > from_ ? position - from_ : 0) / total);
}

std::optional<double> ExportProgress::timeLeft(double done, double elapsed)
{
    if (done <= 0.001)
        return std::nullopt;
    return elapsed * (1 - done) / done;
}

std::string ExportProgress::line(std::size_t written, double elapsed) const
{
    const double done = this->done(written);
    const std::optional<double> seconds = timeLeft(done, elapsed);
    const std::string left = seconds ? clockText(*seconds) : "?";
    char buf[128];
    std::snprintf(buf, sizeof buf, "\r%5.1f%%  elapsed %s  left %s   ", 100 * done, clockText(elapsed).c_str(),
                  left.c_str());
    return buf;
}

std::string ExportProgress::endLine(double speech, double elapsed)
{
    char buf[128];
    std::snprintf(buf, sizeof buf, "\r100.0%%  %s of speech written in %s          \n", clockText(speech).c_str(),
                  clockText(elapsed).c_str());
    return buf;
}

} // namespace kven
