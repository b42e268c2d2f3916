#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace veltrona::fuzz {

// The bytes of `text` in C escape notation, so that a report shows blanks, controls
// and bytes of the upper half unambiguously.
inline std::string escaped(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte >= 32 && byte < 127) {
            out += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", byte);
            out += hex;
        }
    }
    return out + "\"";
}

// Each argument escaped, followed by a blank: an argument list as a report shows it.
inline std::string escapedList(const std::vector<std::string>& arguments) {
    std::string out;
    for (const std::string& argument : arguments) {
        out += escaped(argument) + " ";
    }
    return out;
}

// A property that failed: report it and abort, which libFuzzer records as a crash and
// keeps the input as an artifact.
[[noreturn]] inline void propertyFailed(const char* file, int line, const char* condition,
                                        const std::string& detail) {
    std::fprintf(stderr, "%s:%d: property violated: %s\n%s\n", file, line, condition,
                 detail.c_str());
    std::abort();
}

}  // namespace veltrona::fuzz

// Aborts with `detail` (a std::string expression, evaluated only on failure) unless
// `condition` holds.
#define FUZZ_CHECK(condition, detail)                                                   \
    do {                                                                                \
        if (!(condition)) {                                                             \
            ::veltrona::fuzz::propertyFailed(__FILE__, __LINE__, #condition, (detail)); \
        }                                                                               \
    } while (false)
