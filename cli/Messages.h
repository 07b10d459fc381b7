#pragma once
// kven-read's messages on standard error: one line each, after the program's name, worded as the
// window's error box words them.

#include "files/Errors.h"

namespace kven::cli {

void printError(const KvenError& e);
// A fault the reader goes on after, with the design defaults.
void warn(const KvenError& e);

} // namespace kven::cli
