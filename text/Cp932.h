#pragma once
// Conversions between code page 932 (Shift_JIS with the vendor rows) and Unicode, through
// glibc iconv "CP932". Unicode characters without a CP932 form become "?"; the converter maps
// the usual near-equivalents (WAVE DASH to ～, MINUS SIGN to －, and so on) by itself.
// Bytes that are not CP932 become "?" in the other direction: a lead byte with its second
// byte counts as one character.

#include <string>
#include <string_view>

namespace kven::cp932 {

std::u16string toWide(std::string_view sjis);
std::string fromWide(std::u16string_view wide);

std::string toUtf8(std::string_view sjis);
// Well-formed UTF-8 expected; each ill-formed byte becomes U+FFFD and so "?".
std::string fromUtf8(std::string_view utf8);

// UTF-8 helpers without any code page.
std::u16string utf8ToWide(std::string_view utf8);
std::string wideToUtf8(std::u16string_view wide);

} // namespace kven::cp932
