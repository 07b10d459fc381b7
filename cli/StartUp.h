#pragma once
// The window's start-up done the command line's way: the settings and reading dictionary of the
// data folder, the document named on the command line with its bookmark, and the voice and
// speed. A file that cannot be read gives a warning and the design defaults; nothing is written.

#include "cli/ReadOptions.h"
#include "speech/SpeechEngine.h"
#include "state/Session.h"

#include <string>

namespace kven::cli {

// Reads the settings file, and the reading dictionary when the settings ask for it, into
// `session`; an installed copy first gets its data folder ready. Returns the voice index stored there.
int loadSettings(Session& session);

// Loads `document` as the window's command-line load does and positions the cursor. False when
// the document cannot be opened (the message is on standard error); a bookmark file that cannot
// be read leaves it loaded, with a warning. What intake warns of is a warning as well.
bool loadDocument(Session& session, const std::string& document);

// The voice and speed part of window creation: rate (when not 0) and the voice list, with
// the command line's choices over the stored ones. A voice index given on the command line
// must name a voice.
void setUpVoice(SpeechEngine& engine, Session& session, const Options& options, int storedVoice);

} // namespace kven::cli
