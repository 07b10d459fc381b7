#include "cli/Messages.h"

#include <cstdio>

namespace kven::cli {

void printError(const KvenError& e)
{
    const std::string detail = e.detail().empty() ? std::string() : ": " + e.detail();
    std::fprintf(stderr, "kven-read: %s\n", errorBoxText(e.what() + detail).c_str());
}

void warn(const KvenError& e)
{
    std::fprintf(stderr, "kven-read: warning: %s\n", errorBoxText(e.what()).c_str());
}

} // namespace kven::cli
