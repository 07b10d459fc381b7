#pragma once
// The three encodings a document may come in, whether its bytes are well-formed in each, and
// which one to read it in when the one it declares does not fit its bytes.

#include <cstddef>
#include <optional>
#include <string_view>

namespace kven {

enum class Encoding { shiftJis, eucJp, utf8 };

// How many multi-byte characters `bytes` hold when read in `encoding`; nothing when a byte
// belongs to no character of it. Well-formed are, besides ASCII:
//   Shift_JIS  0xA1..0xDF alone, a lead byte (0x81..0x9F, 0xE0..0xFC) with a second byte
//              (0x40..0x7E, 0x80..0xFC);
//   EUC-JP     two bytes 0xA1..0xFE, 0x8E with 0xA1..0xDF, 0x8F with two bytes 0xA1..0xFE;
//   UTF-8      what utf8::decode finds valid.
// Only the form is judged, not whether the character set assigns a character to it.
std::optional<std::size_t> multiByteCharacters(std::string_view bytes, Encoding encoding);

inline bool isWellFormed(std::string_view bytes, Encoding encoding)
{
    return multiByteCharacters(bytes, encoding).has_value();
}

// The encoding to read `bytes` in when their markers declare, or the default takes, `declared`:
// that one whenever the bytes are well-formed in it, so such a text reads exactly as declared.
// Otherwise the encoding that a statistical detector finds in the content, when it is another
// of the three and the bytes are well-formed in it; otherwise still `declared`. Well-formedness
// alone is no proof (a few Latin-1 letters amid ASCII are often well-formed Shift_JIS), and the
// detector alone is no proof either (it guesses on scant evidence), so both must agree.
Encoding encodingByContent(std::string_view bytes, Encoding declared);

} // namespace kven
