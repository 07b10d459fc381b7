#include "window/ReadingCommands.h"

namespace kven {

void ReadingCommands::readingStateMayHaveChanged()
{
    const bool now = reading();
    if (now == reading_)
        return;
    reading_ = now;
    for (const auto& listener : listeners_)
        listener.second(now);
}

} // namespace kven
