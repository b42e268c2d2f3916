#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace veltrona::config {

// Splits a command line into arguments by the rules a Windows program's C runtime
// applies to everything after the program name: blanks and tabs outside quotes
// separate; an unescaped '"' toggles quoting and is dropped; 2n backslashes before a
// '"' give n backslashes and the quote toggles, 2n+1 give n backslashes and a literal
// '"'; other backslashes are literal; '""' inside quotes is a literal '"'; an
// unterminated quote runs to the end; '""' alone is an empty argument.
std::vector<std::string> splitWindowsArguments(std::string_view commandLine);

}  // namespace veltrona::config
