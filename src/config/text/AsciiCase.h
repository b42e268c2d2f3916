#pragma once

#include <algorithm>
#include <string_view>

namespace veltrona::config {

// Letter case folded for the ASCII letters only, with no locale: bytes of a code page's
// upper half compare as they are, so "ä" matches only "ä", never "Ä".
inline char upperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Equal length, and equal bytes once 'a'..'z' are mapped to 'A'..'Z'.
inline bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return upperAscii(x) == upperAscii(y);
           });
}

}  // namespace veltrona::config
