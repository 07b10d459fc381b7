#pragma once
// The files of a split export: one audio file per chapter in the chapter folder, with the
// playlist that lists them in order, made in a temporary folder and moved in only once all are
// complete, in place of those of an earlier export into the folder.

#include "export/AudioFormats.h"
#include "export/ExportTarget.h"
#include "export/StaleTemporaries.h"

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
    // What the chapter says and how, as the export plans it (see SplitPlaylist.h): a file of an
    // earlier run with the same key is kept rather than made again. Empty: never kept.
    std::string key = {};
};

// One file per chapter that has any speech, in the folder `folder` (created when missing):
// "NN title.ext", numbered from 01 in order, with the track number tag, the album tag
// `tags.album` and the artist tag `tags.artist`, and the playlist "NAME.m3u8" listing them,
// NAME being the folder's own name. The files are made in a temporary folder and moved in by
// finish(), where they replace those of an earlier export: its chapter files ("NN title.ext"
// of any format) and its playlist; the folder's other files stay. Until then the folder stays
// as it was, and a folder this target created goes again when the export does not complete.
// Killed exports' temporaries go first as with openAudioSink, and those of this folder's
// export as soon as their writer is gone, after the chapter files they completed that this run
// can keep have come over (canKeep); one that still holds complete files this run cannot keep
// stays for a run that can (takenOver says so). What came over stays in this run's temporary
// folder when it does not complete. With `lyrics`, each file has its text track "NN
// title.lrc", made, moved in and replaced with it.
std::unique_ptr<ExportTarget> chapterFilesTarget(const std::string& folder, AudioFormat format,
                                                 std::vector<ChapterFile> chapters, const AudioTags& tags,
                                                 std::optional<int> bitrate = std::nullopt, bool lyrics = false);

} // namespace kven
