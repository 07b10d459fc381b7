#pragma once
// Test shorthand: Shift_JIS bytes from readable UTF-8.

#include "text/Cp932.h"

#include <string>
#include <string_view>

namespace kven::testing {

inline std::string sj(std::string_view utf8)
{
    return cp932::fromUtf8(utf8);
}
inline std::string u8(const std::string& sjis)
{
    return cp932::toUtf8(sjis);
}

} // namespace kven::testing
