#include "cli/Messages.h"

#include <cstdio>

namespace kven::cli {

void printError(const KvenError& e)
{
    std::fprintf(stderr, "kven-read: %s\n", errorBoxText(e.what()).c_str());
}

void warn(const KvenError& e)
{
    std::fprintf(stderr, "kven-read: warning: %s\n", errorBoxText(e.what()).c_str());
}

} // namespace kven::cli
