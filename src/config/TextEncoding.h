#pragma once

#include <string>
#include <string_view>

namespace veltrona::config {

// The 8-bit code page a file's text is written in. A file whose bytes are valid UTF-8
// is taken as UTF-8 (the system code page here); any other as Windows-1252, which maps
// every byte to a character and back, so such files survive a read and write unchanged.
enum class TextEncoding { Utf8, Windows1252 };

TextEncoding detectEncoding(std::string_view bytes);
bool isValidUtf8(std::string_view bytes);

// Converts 8-bit text in `encoding` to UTF-8, and back. A character that the target
// code page cannot hold is written as "?", as the system's own conversion does.
std::string toUtf8(std::string_view bytes, TextEncoding encoding);
std::string fromUtf8(std::string_view utf8, TextEncoding encoding);

}  // namespace veltrona::config
