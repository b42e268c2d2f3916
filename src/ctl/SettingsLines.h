#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "config/text/CodePage.h"

namespace veltrona::ctl {

// The settings file's lines as VeltronaCtl reviews them: what a write would change, and
// what the reader would make of them. Plain functions over the file's text.

// A line that a write drops or adds. The admin password's line shows the key alone.
struct SettingsLineChange {
    bool added = false;
    std::string text;  // UTF-8
};

// The lines of `before` that `after` no longer holds, then the lines it adds, each in its
// own file's order; a line both hold as often is no change. Both texts are UTF-8.
std::vector<SettingsLineChange> settingsLineChanges(std::string_view before,
                                                    std::string_view after);

// Something in the file that the server's settings would not be read from as its author
// meant: a wrong value, a key given twice, a line that is ignored or read as another key.
struct SettingsProblem {
    std::size_t line = 0;  // from 1; 0 for the file as a whole
    std::string text;      // UTF-8
};

// The problems of the file's `content`, whose text is in `codePage`, in line order.
std::vector<SettingsProblem> settingsProblems(std::string_view content,
                                              const config::CodePage& codePage);

}  // namespace veltrona::ctl
