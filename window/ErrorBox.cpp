#include "window/ErrorBox.h"

#include "files/Errors.h"

#include <exception>

namespace kven {

bool runShowingErrors(WindowDialogs& dialogs, const std::function<void()>& command)
{
    try {
        command();
        return true;
    } catch (const KvenError& e) {
        if (e.detail().empty())
            dialogs.showError(errorBoxText(e.what()));
        else
            dialogs.showError(errorBoxText(e.what()), errorBoxText(e.detail()));
    } catch (const std::exception& e) {
        dialogs.showError(errorBoxText(e.what()));
    }
    return false;
}

} // namespace kven
