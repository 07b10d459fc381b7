#include "reading/ReadingPace.h"

#include <cmath>

namespace kven {

namespace {

// A chunk runs to a line break or a "。": a longer move is a jump, and a longer gap a pause
// of the listener's, not the pace of reading.
constexpr std::size_t kLongestStep = 4096;
constexpr double kLongestGap = 120.0;

double speedFactor(int speed)
{
    return std::pow(3.0, speed / 10.0);
}

} // namespace

void ReadingPace::utteranceEnded(Clock::time_point now, std::size_t cursor, int speed)
{
    const double gap = std::chrono::duration<double>(now - last_).count();
    if (measuring_ && cursor > cursor_ && cursor - cursor_ <= kLongestStep && gap > 0 && gap <= kLongestGap) {
        bytes_ += static_cast<double>(cursor - cursor_) / speedFactor(speed);
        seconds_ += gap;
    }
    measuring_ = true;
    last_ = now;
    cursor_ = cursor;
}

double ReadingPace::bytesPerSecond(int speed) const
{
    const double atZero = seconds_ >= kEnoughSeconds ? bytes_ / seconds_ : usual_;
    return atZero * speedFactor(speed);
}

} // namespace kven
