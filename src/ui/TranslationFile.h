#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace veltrona::ui {

// An INI-style translation file held in memory: sections in file order, each with its
// lines in file order. Values are 8-bit text in the file's code page, kept as bytes.
class TranslationFile {
  public:
    struct Section {
        std::string name;
        std::vector<std::string> entries;  // "key=value", or a line without "=" kept unchanged
    };

    // Lines split at CR LF, CR and LF; a NUL ends the content; no byte-order mark is
    // recognised. Lines are trimmed of codes 0 to 32; empty lines and lines starting
    // with ";" are skipped; "[name]" opens a section; lines before the first section are
    // ignored; the first "=" splits key and value, both trimmed.
    static TranslationFile parse(std::string_view content);

    // The value of `key` in the last section named `section`, letter case ignored for
    // both; of several entries with the key the last wins; `fallback` when either is absent.
    std::string lookup(std::string_view section, std::string_view key,
                       std::string_view fallback) const;

    const std::vector<Section>& sections() const { return sections_; }

  private:
    std::vector<Section> sections_;
};

}  // namespace veltrona::ui
