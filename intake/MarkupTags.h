#pragma once
// The tags of HTML markup as the passes over a book's documents see them: each "<" begins one,
// which ends at the next ">"; the name is its run of name bytes, in lower case. Shift_JIS markup
// is read byte by byte, as "<" and ">" are never part of a double-byte character.

#include <cstddef>
#include <string>
#include <string_view>

namespace kven {

struct Tag {
    std::string name; // lower case, without "/"
    bool closing = false;
    std::size_t end = 0; // one past its ">", or the end of the markup when it is not closed
    // Where the tag's own text ends, for its attributes: its end, or a "<" that comes first, so
    // that a run of unclosed tags is never read over and over.
    std::size_t textEnd = 0;
};

// The tags of a markup, asked for in rising order: each "<" begins one, which ends at the next
// ">". The search for that ">" goes on from where the last one ended, so that a walk over the
// tags is linear in the markup, even one without any ">".
class Tags {
public:
    explicit Tags(std::string_view markup) : markup_(markup) {}

    // The tag at markup[at] == '<'; `at` rises from call to call.
    Tag at(std::size_t at);

private:
    std::string_view markup_;
    std::size_t close_ = 0; // the last ">" found, or npos when none is left
    std::size_t open_ = 0;  // the last "<" found after a tag's start, or npos when none is left
};

// The value of the attribute `name` in the tag text `tag` (name="value" or name='value', blanks
// around "=" allowed); empty when it has none.
std::string_view attributeValue(std::string_view tag, std::string_view name);
// Whether the white-space separated `list` holds `word`.
bool hasWord(std::string_view list, std::string_view word);

} // namespace kven
