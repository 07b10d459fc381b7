#pragma once
// The settings file KVEN.ini: options, sliders, window position, voice index, talk symbols
// and skip list kept between runs. It is read at start-up and on Reload and written only on
// Save; the lines last read stay with this object until the next read or save.
//
// Format: Shift_JIS text, "\r\n" after every line. Key lines read "[Name]=value"; the line
// after "[Talk]=0" holds the talk symbols and every line after "[Skip]=0" is a skip entry.
// The listening options "[Notes]" and "[Words]" are off unless their key says -1.

#include "files/Paths.h"
#include "state/DialogsAndClipboard.h"
#include "state/Session.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kven {

// Index of the first line whose part before its first "=" equals `name`, ASCII letters
// compared without regard to case; -1 when there is none. A line without "=" never matches.
std::ptrdiff_t findSettingsLine(const std::vector<std::string>& lines, std::string_view name);

// The text after the first "=" of the line findSettingsLine finds; empty when there is none.
std::string_view settingsValue(const std::vector<std::string>& lines, std::string_view key);

class SettingsFile {
public:
    // `path` is the file's name as the file system knows it (UTF-8); a relative path is made
    // absolute against the working folder, so messages always show the full path.
    SettingsFile(Session& session, Dialogs& dialogs, std::string path);

    // The start-up read, run first in window creation. `voiceSetUp` builds the voice list at
    // its place in the sequence (after the window position, before the talk symbols and the
    // skip list) and gets the stored voice index; if it throws, the read ends there.
    // Throws KvenError when the file cannot be opened (nothing changed) or when the "[Talk]"
    // line is the last line (everything before the talk symbols already applied). Temporary
    // files left by a save that was killed are removed first.
    void startupRead(const std::function<void(int storedVoice)>& voiceSetUp = {});

    // Reload: after confirmation, reads the file again. The voice index is set directly,
    // without limit and without putting the voice into use. False when the user cancelled.
    bool reload();

    // Save: after confirmation, writes every setting, replacing the file atomically (through a
    // symbolic link, which stays). Throws KvenError when the file cannot be written; the old
    // file is then unchanged.
    void save();

    const std::string& path() const { return path_; }

    // "[View]": how the window shows the text (0 the editor, 1 a vertical book, 2 a horizontal
    // one), as last read, or as the window last set it for a save. Missing or any other value
    // is 0, and a save writes the key only when it is not 0, so that a file saved with the
    // editor shown is what it always was.
    int viewMode() const { return viewMode_; }
    void setViewMode(int mode) { viewMode_ = mode; }

private:
    void load();
    int number(std::string_view key) const;
    void applyOptions();
    void applyView();
    void applySliders();
    void applyWindowPosition();
    void readTalkAndSkip(bool clearFirst);

    Session& session_;
    Dialogs& dialogs_;
    std::string path_;
    std::vector<std::string> lines_;
    int viewMode_ = 0;
};

} // namespace kven
