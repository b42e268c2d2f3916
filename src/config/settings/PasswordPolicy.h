#pragma once

#include <cstddef>

namespace veltrona::config {

// The admin password prompt takes at most this many characters. Both prompts stop typing
// there, the password gate compares no more of what it is given, and VeltronaCtl refuses
// to set a longer password, which could never be entered.
inline constexpr std::size_t kMaxPasswordCharacters = 255;

}  // namespace veltrona::config
