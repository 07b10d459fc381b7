#pragma once
// The names of the temporary files and folders that writers make beside their target,
// "<target>.part-<pid>-<start>-<n>": the writer's process number and start time, so that the
// next writer can tell one left by a killed writer from one still being written, and a serial
// number within the process. Used by AtomicFile; FileIo.h gives the rest of the program what
// it may do with these names.

#include <cstddef>
#include <string>

namespace kven {

// The start of a new temporary name for `target`, to which numberedName adds a serial number.
std::string temporaryStem(const std::string& target);

// `stem` with the next serial number of this process. A name can be taken only by a writer of
// this process, or by one of an earlier process with the same number and start time that left
// it behind.
std::string numberedName(const std::string& stem);

// Removes the temporary files beside `resolved` (a path whose links are followed already) whose
// writer is gone. Returns how many went.
std::size_t removeStaleBeside(const std::string& resolved);

} // namespace kven
