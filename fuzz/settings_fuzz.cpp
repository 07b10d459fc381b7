// The settings file read from arbitrary bytes: the read either applies the file or throws the
// program's error, and Save followed by Reload leaves every control as the read left it, except
// that the talk symbols come back as their one line, trimmed, followed by a line break.

#include "files/Errors.h"
#include "fuzz/FuzzSupport.h"
#include "settings/SettingsFile.h"
#include "state/Session.h"
#include "support/AnsweringDialogs.h"
#include "text/TextOps.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using kven::fuzzing::check;

struct Controls {
    int voice;
    bool aozora, aa, head, repeat;
    int unread, blank, speed, left, top;
    std::string talk;
    std::vector<std::string> skip;
    bool operator==(const Controls&) const = default;
};

Controls controlsOf(const kven::Session& w)
{
    return {w.voiceIndex(),
            w.options().aozoraRuby,
            w.options().aaSkip,
            w.options().headingSearch,
            w.options().repeatSuppression,
            w.options().unreadLimit,
            w.options().blankLimit,
            w.speed(),
            w.windowLeft(),
            w.windowTop(),
            w.talkSymbols(),
            w.skipList()};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path =
        kven::fuzzing::scratch().write("KVEN.ini", std::string_view(reinterpret_cast<const char*>(data), size));
    kven::Session session;
    session.setVoices({"a", "b", "c"});
    kven::testing::AnsweringDialogs dialogs;
    kven::SettingsFile settings(session, dialogs, path);
    try {
        settings.startupRead([&](int stored) { session.setVoiceIndex(std::min(stored, session.voiceCount() - 1)); });
    } catch (const kven::KvenError&) {
        return 0; // the "[Talk]" line is the last one
    }
    Controls expected = controlsOf(session);
    const std::string talk = kven::trim(expected.talk);
    // The format cannot tell talk symbols that read as the "[Skip]" line from that line.
    if (kven::findSettingsLine({talk}, "[Skip]") == 0)
        return 0;
    expected.talk = talk + "\r\n";

    try {
        settings.save();
        settings.reload();
    } catch (const kven::KvenError& e) {
        kven::fuzzing::fail(e.what());
    }
    check(controlsOf(session) == expected, "Save and Reload keep every control");
    return 0;
}
