#pragma once
// The files of a split export: one audio file per chapter in the chapter folder, with the
// playlist that lists them in order, made in a temporary folder and moved in only once all are
// complete, in place of those of an earlier export into the folder.

#include "export/AudioFormats.h"
#include "export/ExportTarget.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kven {

// One chapter of a document: its title (UTF-8) names its file and is its title tag.
struct ChapterFile {
    std::string title;
};

// One file per chapter that has any speech, in the folder `folder` (created when missing):
// "NN title.ext", numbered from 01 in order, with the track number tag, the album tag
// `tags.album` and the artist tag `tags.artist`, and the playlist "NAME.m3u8" listing them,
// NAME being the folder's own name. The files are made in a temporary folder and moved in by
// finish(), where they replace those of an earlier export: its chapter files ("NN title.ext"
// of any format) and its playlist; the folder's other files stay. Until then the folder stays
// as it was, and a folder this target created goes again when the export does not complete.
// Killed exports' temporaries go first as with openAudioSink, and those of this folder's
// export as soon as their writer is gone.
std::unique_ptr<ExportTarget> chapterFilesTarget(const std::string& folder, AudioFormat format,
                                                 std::vector<ChapterFile> chapters, const AudioTags& tags,
                                                 std::optional<int> bitrate = std::nullopt);

// A chapter title as a file name: characters that file systems or players refuse (/ \ : * ?
// " < > | and control characters) become "_", blanks and dots at either end go (no hidden
// file, no "." or ".."),
// and the name is cut to at most `maxBytes` bytes at a character boundary.
std::string safeFileName(std::string_view title, std::size_t maxBytes = 120);

} // namespace kven
