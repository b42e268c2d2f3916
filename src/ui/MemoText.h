#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace veltrona::ui {

// A memo holds logical lines, each ended by a line break, as lines are added to it: the
// text "a\nb\n" is the two lines "a" and "b", and "a\n\n" the lines "a" and "". Text
// without a final break ends with its last line, so "a\nb" is two lines as well; the
// empty text is no line. A line set to empty stays a line. Every window keeps its
// memos this way, so the catalogue of nine messages is nine lines whatever they say.

// The lines of `text`; "\r\n" counts as one break, as "\n" does.
std::vector<std::string> memoLines(std::string_view text);
// The lines, each followed by `lineBreak`.
std::string memoText(const std::vector<std::string>& lines, std::string_view lineBreak = "\n");

}  // namespace veltrona::ui
