#pragma once
// What exports that were killed leave behind, and the names by which it is known: the
// temporary files of single-file exports and of playlists, and the temporary folders of split
// exports with their chapter files.

#include <cstddef>
#include <set>
#include <string>
#include <string_view>

namespace kven {

// "NN title.ext" or "NN.ext", as the chapter files of a split export are named: NN two digits or
// more, .ext the extension of a format.
bool isChapterFileName(std::string_view name);
// The text track of a chapter file: "NN title.lrc" or "NN.lrc".
bool isChapterLyricsName(std::string_view name);
// A playlist: "NAME.m3u8" with a NAME.
bool isPlaylistName(std::string_view name);

// The folder that holds `path`, "." for a bare name.
std::string folderHolding(std::string_view path);

// Removes what exports that were killed left in `folder`: the temporary files of single-file
// exports and of playlists, and the temporary folders of split exports. Each one goes once the
// process that wrote it is gone and nothing in it changed for a day; the temporary folders of
// `ownTarget` as soon as their writer is gone, as AtomicFile does with its own target's files,
// unless they are `spared` (they hold what a later run may use). Names of any other form are no
// export's and stay.
void removeStaleExportTemporaries(const std::string& folder, std::string_view ownTarget,
                                  const std::set<std::string>& spared = {});

// A chapter title as a file name: characters that file systems or players refuse (/ \ : * ?
// " < > | and control characters) become "_", blanks and dots at either end go (no hidden
// file, no "." or ".."),
// and the name is cut to at most `maxBytes` bytes at a character boundary.
std::string safeFileName(std::string_view title, std::size_t maxBytes = 120);

} // namespace kven
