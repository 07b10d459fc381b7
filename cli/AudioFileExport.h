#pragma once
// --wav and --out: the speech written into audio files instead of spoken.

#include "cli/ReadOptions.h"
#include "state/Session.h"

namespace kven::cli {

// Writes the session's document, from its cursor, into the files that `options` name. The files
// appear only once complete; an interrupt leaves none behind. Returns the exit status.
int exportAudio(Session session, const Options& options, int storedVoice);

} // namespace kven::cli
