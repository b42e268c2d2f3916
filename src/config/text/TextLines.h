#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace veltrona::config {

// Splits file content into lines at CR LF, a lone CR or a lone LF. A NUL byte ends the
// content. A final line end does not start a further, empty line.
std::vector<std::string> splitLines(std::string_view content);

// Removes every leading and trailing byte whose code is 0 to 32.
std::string_view trimControls(std::string_view text);

}  // namespace veltrona::config
