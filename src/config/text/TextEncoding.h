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

// The characters of UTF-8 text, counted as the bytes that start one: every byte but a
// continuation byte (10xxxxxx). A stray continuation byte thus adds none, any other
// ill-formed byte one.
std::size_t utf8CharacterCount(std::string_view utf8);

// The first `count` characters of UTF-8 text, as counted above; all of it when it has no
// more. The cut never falls inside a character.
std::string firstUtf8Characters(std::string_view utf8, std::size_t count);

}  // namespace veltrona::config
