#pragma once

#include <string>
#include <string_view>

namespace veltrona::config {

// The 8-bit code page in which a text's bytes are written, and the conversions between
// it and UTF-8, the form in which the windows and their logic hold display text.
// Windows: every 8-bit text (files, command lines, message boxes) is in the system's
// ANSI code page. Linux has no such code page: a file whose bytes are valid UTF-8 is read
// as UTF-8, any other as Windows-1252, which maps every byte to a character and back;
// command lines are UTF-8. One implementation per OS.
class CodePage {
  public:
    // The code page a file's content is read and written back in.
    static CodePage ofFile(std::string_view content);
    // The code page of command lines and of the system's own 8-bit texts.
    static CodePage system();
    static CodePage utf8() { return CodePage(65001); }

    // A character the code page cannot hold is written as "?", as the system's own
    // conversion does; bytes that a code page leaves undefined still round-trip.
    std::string toUtf8(std::string_view bytes) const;
    std::string fromUtf8(std::string_view utf8) const;

    unsigned int identifier() const { return identifier_; }  // 65001 for UTF-8, 1252, ...
    bool operator==(const CodePage&) const = default;

    explicit CodePage(unsigned int identifier) : identifier_(identifier) {}

  private:
    unsigned int identifier_;
};

}  // namespace veltrona::config
