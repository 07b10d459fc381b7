#pragma once
// Paths as the program uses them: "/" separators, the data folder that holds the settings and
// bookmark files, and the pieces of a document's path. Paths are the file system's own bytes.

#include <string>
#include <string_view>

namespace kven {

inline constexpr std::string_view kSettingsFileName = "KVEN.ini";
inline constexpr std::string_view kBookmarkFileName = "KVEN.txt";
inline constexpr std::string_view kDictionaryFileName = "KVEN.dic";
// A page under this folder came from the browser cache: it is captioned as temporary and
// never bookmarked.
inline constexpr std::string_view kTemporaryInternetFiles = "/Temporary Internet Files/";

// The folder that holds the settings, bookmark and dictionary files, one rule for the window and
// kven-read: $KVEN_HOME when set and not empty; else, for an installed copy (its defaults in
// share/kven beside its bin/), the user's data folder "KVEN" in $XDG_DATA_HOME (when absolute)
// or ~/.local/share; else the folder of the running executable. Absolute and lexically normal,
// no trailing "/" (unless it is "/" itself).
std::string dataFolder();
// The defaults an installed copy came with (share/kven beside its bin/); empty for a copy that is
// not installed, such as one run from its build folder.
std::string installedDefaultsFolder();
// Gets an installed copy's user data folder ready for use: creates it and puts in each of the
// settings, bookmark and dictionary files it lacks, copied from the installed defaults (a missing
// default bookmark file becomes an empty one). Does nothing for any other data folder. False when
// the folder or a file cannot be made; what could be made stays.
bool prepareDataFolder();
// The settings, bookmark and reading dictionary files of the data folder.
std::string settingsFilePath();
std::string bookmarkFilePath();
std::string dictionaryFilePath();

// `name` inside `folder`, with exactly one "/" between them.
std::string inFolder(std::string_view folder, std::string_view name);

// The part of a path before its last "/" ("/" for a file in the root folder); empty when the
// path has no "/".
std::string_view folderOf(std::string_view path);
// The part of a path after its last "/" (the whole path when it has none).
std::string_view fileNameOf(std::string_view path);
// The part of the file name from its last ".", the dot included; empty when there is none.
std::string_view extensionOf(std::string_view path);

// `path` made absolute against the working folder and lexically normal: no "." or ".."
// components and no doubled "/". Symbolic links are left as they are, so the result names
// the file the user named.
std::string absolutePath(std::string_view path);

} // namespace kven
