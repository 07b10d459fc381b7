#include "cli/StartUp.h"

#include "cli/Messages.h"
#include "files/Paths.h"
#include "intake/Bookmarks.h"
#include "intake/Intake.h"
#include "settings/DictionaryFile.h"
#include "settings/SettingsFile.h"
#include "settings/VoiceChoice.h"
#include "state/DialogsAndClipboard.h"
#include "text/Cp932.h"
#include "text/EucJp.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

namespace kven::cli {

namespace {

// Dialogs never shown: the reader asks nothing.
class NoDialogs : public Dialogs {
public:
    bool confirm(const std::string&) override { return false; }
    std::optional<std::string> chooseFile(const std::string&) override { return std::nullopt; }
};

} // namespace

int loadSettings(Session& session)
{
    // An installed copy's first use makes the user's data folder, as the window's does; a folder
    // that cannot be made shows as files that cannot be opened.
    prepareDataFolder();
    NoDialogs dialogs;
    SettingsFile settings(session, dialogs, settingsFilePath());
    int storedVoice = 0;
    try {
        settings.startupRead([&storedVoice](int stored) { storedVoice = stored; });
    } catch (const KvenError& e) {
        warn(e);
    }
    if (session.options().wordReadings) {
        DictionaryFile words = readDictionaryFile(dictionaryFilePath());
        for (const std::string& problem : words.problems)
            warn(KvenError(problem));
        session.setReadingDictionary(std::move(words.dictionary));
    }
    return storedVoice;
}

bool loadDocument(Session& session, const std::string& document)
{
    NoDialogs dialogs;
    EucJp eucJp;
    Bookmarks bookmarks(session, bookmarkFilePath());
    DocumentIntake intake(session, dialogs, bookmarks, eucJp);
    try {
        intake.loadFromCommandLine({document});
    } catch (const KvenError& e) {
        // The document is current only once it has been read; a failure after that is the
        // bookmark lookup, which leaves the document loaded and positioned.
        if (session.document().file.empty()) {
            printError(e);
            return false;
        }
        std::error_code error;
        // A bookmark file that is not there yet is no fault: the window makes it.
        if (std::filesystem::symlink_status(bookmarks.filePath(), error).type() ==
            std::filesystem::file_type::not_found)
            std::fprintf(stderr, "kven-read: ファイル %s はまだありません: しおりなしで読みます.\n",
                         bookmarks.filePath().c_str());
        else
            warn(e);
    }
    for (const std::string& warning : intake.warnings())
        warn(KvenError(warning));
    return true;
}

void setUpVoice(SpeechEngine& engine, Session& session, const Options& options, int storedVoice)
{
    if (options.rate)
        session.setSpeed(*options.rate);
    const std::vector<VoiceHandle> voices = applyVoiceChoice(engine, session, options.voice.value_or(storedVoice));
    if (options.voice && !voices.empty() && *options.voice >= static_cast<int>(voices.size())) {
        std::string list;
        for (std::size_t i = 0; i < voices.size(); ++i)
            list += "\n  " + std::to_string(i) + "  " + cp932::wideToUtf8(voices[i]->description(0));
        throw KvenError("there is no voice " + std::to_string(*options.voice) + "; the voices are:" + list);
    }
}

} // namespace kven::cli
