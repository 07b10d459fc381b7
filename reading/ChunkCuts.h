#pragma once
// Where the reading step cuts the text into chunks.

#include <cstddef>
#include <string_view>

namespace kven {

inline constexpr std::size_t kLongChunk = 260;

// Length in bytes of the chunk at the start of `rest` (the text from the cursor to the end):
// through the first line break, or through an earlier "。" that has at least one byte before
// that line break, or to the end when no line break is left; a chunk longer than 260 bytes
// is cut just after its first "、" or "，". A chunk whose text, trimmed and mapped to full
// width, would not fit the mapping's 1024 bytes is shortened first, so that nothing of it is
// lost: after the last blank or "。" that fits, else at the last character boundary that
// does; the rest is the next chunk. Costs time proportional to the chunk, or to the limits
// when a long chunk is cut; a chunk that holds a "。" with no line break right after it also
// costs the way back from the end of `rest` to its last line break, since that "。" ends the
// chunk only when some line break is left.
// With `silentNotes` an Aozora note "［＃…］" is kept whole: a "。" or comma inside it ends or
// cuts nothing, and a chunk shortened to fit ends before a note it would split.
std::size_t chunkLength(std::string_view rest, bool silentNotes = false);

} // namespace kven
