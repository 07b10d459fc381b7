#pragma once
// What the copies of the program say to each other in the hand-over, and the names they meet
// under in the socket folder. Every message is one line.

#include <string_view>

namespace kven::handover {

inline constexpr char kSocketName[] = "TForm1";
inline constexpr char kLockName[] = "TForm1.lock";
inline constexpr std::string_view kCloseRequest = "close\n";
inline constexpr std::string_view kClosedAnswer = "closed\n";
inline constexpr std::string_view kStillOpenAnswer = "open\n";

} // namespace kven::handover
