#pragma once
// The encoding of a page or a book's content document: the one its markers declare, unless its
// bytes do not fit that one and do fit the one their content shows; the page made Shift_JIS.

#include "text/Encodings.h"
#include "text/EucJp.h"

#include <optional>
#include <string>
#include <string_view>

namespace kven {

// The encoding a page or a text was read in, and whether its bytes are well-formed in it. When
// they are not (its encoding changes partway, or it is damaged), some of it reads as mojibake or
// "?": nothing else fits it whole either, or it would have been read so.
struct EncodingFit {
    Encoding encoding = Encoding::shiftJis;
    bool whole = true;
};

// encodingByContent(bytes, declared), and whether the bytes fit the encoding it finds whole.
EncodingFit encodingFit(std::string_view bytes, Encoding declared);

// The warning for a text read as `fit` says when its bytes did not fit whole: `what` names it
// ("文書", or a book's document by its entry). Empty when they fit.
std::string mixedEncodingWarning(std::string_view what, const EncodingFit& fit);

// Makes the page in `text` Shift_JIS markup: the encoding its markers declare (EUC-JP or
// UTF-8, else `otherwise`, unless a Shift_JIS marker names that), unless the bytes do not fit
// that one and do fit the one their content shows (encodingByContent). In a page taken for
// UTF-8, each character without a CP932 form and each maximal run of bytes that are not UTF-8
// becomes one "?", the rest of the page intact.
EncodingFit settlePageEncoding(std::string& text, const EucJp& conv, Encoding otherwise = Encoding::shiftJis);

// Bytes that begin with a UTF-32 or UTF-16 byte-order mark (little- or big-endian) as
// Shift_JIS, the mark dropped and each character without a CP932 form its near-equivalent or
// "?"; nullopt for any other bytes. A partial unit at the end is dropped. "FF FE 00 00" is the
// UTF-32LE mark, not UTF-16LE's followed by a U+0000.
std::optional<std::string> markedUnicodeToSjis(std::string_view bytes);

// A content document of a book made Shift_JIS markup: UTF-16 by its byte-order mark, else
// settled as a page is, with UTF-8 (the encoding of XML) taken when its markers declare none and
// Shift_JIS only when they name it. Nothing else of the markup changes.
EncodingFit settleBookEncoding(std::string& text, const EucJp& conv);

} // namespace kven
