#pragma once
// The command line of kven-read (see UsageText.h): what it asks for, read and checked.

#include <cstddef>
#include <optional>
#include <string>

namespace kven::cli {

struct Options {
    bool dump = false;
    std::optional<std::string> wav;
    std::optional<std::string> out;
    bool split = false;
    bool lyrics = false;
    std::optional<int> quality;
    std::optional<int> voice;
    std::optional<int> rate;
    unsigned jobs = 0;
    std::optional<std::size_t> from;
    std::string document;
};

// Reads the arguments into `options`. Returns an exit status when the arguments say the program
// is done: 0 after --help (1 when the text could not be written), 2 for a usage error, whose
// message and the usage text are then on standard error.
std::optional<int> parseArguments(int argc, char** argv, Options& options);

} // namespace kven::cli
