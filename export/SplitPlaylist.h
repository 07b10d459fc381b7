#pragma once
// The playlist of a split export, and what it records of each chapter file for a later run of
// the same export: the key of what made the file, its length and its size. A run keeps the
// files whose key matches its own chapter's instead of making them again; a run that was
// stopped leaves the playlist of the chapters it completed in its temporary folder. Players and
// older copies of this program pass over the comment lines that carry the record.

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kven {

// One chapter file as the playlist lists it.
struct ChapterEntry {
    std::string name;  // "NN title.ext", in the playlist's folder
    std::string title; // UTF-8
    std::uint64_t samples = 0;
    std::uint64_t bytes = 0;
    std::string key;     // of what made the file; empty when unknown (an older copy's playlist)
    bool lyrics = false; // with its text track, the name's stem and ".lrc"
    bool operator==(const ChapterEntry&) const = default;
};

// The playlist listing `entries` in order, with the mark of a split export's playlist.
std::string playlistText(const std::vector<ChapterEntry>& entries);
// The chapter files that the playlist at `path` lists by bare name, with what it records of
// them; none when it cannot be read or is not an export's.
std::vector<ChapterEntry> readPlaylist(const std::string& path);

// A key made of `parts`, hexadecimal: FNV-1a over each part with its length, so that no two
// lists of parts give the same bytes.
std::string keyOf(const std::vector<std::string_view>& parts);

// Files that a new run may keep, by name: each with its entry and the folder it is in.
struct KeptFile {
    ChapterEntry entry;
    std::string folder;
};
using KeptFiles = std::map<std::string, KeptFile, std::less<>>;

// What earlier exports of the folder `real` left that a new run may use: the chapter files of
// its completed export in `real`, and those that runs of it that were stopped (their writer
// gone) completed in their temporary folders, of which those that `wanted` accepts are moved
// into `staging`; the stopped runs' files come first, being the newer. The others stay where
// they are, for a run that wants them (one from another start point): their temporary folders
// are `spared`.
struct EarlierFiles {
    KeptFiles kept;
    std::size_t setAside = 0;          // whole chapter files left in the stopped runs' folders
    std::set<std::string> spared = {}; // those folders
};
EarlierFiles gatherKeptFiles(const std::string& real, const std::string& listName, const std::string& staging,
                             const std::function<bool(const ChapterEntry&)>& wanted);

} // namespace kven
