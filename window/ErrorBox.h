#pragma once
// Commands run as the application's top level runs them: an error ends the command and is
// shown in the standard error box, so no error leaves a Qt event handler.

#include "state/DialogsAndClipboard.h"

#include <functional>

namespace kven {

// Runs `command`; a KvenError or any other exception it throws goes to `dialogs`' error box,
// with the error's detail below its message. Returns false when the command failed.
bool runShowingErrors(WindowDialogs& dialogs, const std::function<void()>& command);

} // namespace kven
