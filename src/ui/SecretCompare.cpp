#include "SecretCompare.h"

#include <algorithm>
#include <cstddef>

namespace veltrona::ui {

bool equalsConstantTime(std::string_view a, std::string_view b) {
    // Every byte position of the longer text is visited and the differences are only
    // accumulated, never tested inside the loop; the shorter text is read as padded with
    // zero bytes, and a length mismatch alone already makes the result false.
    const std::size_t length = std::max(a.size(), b.size());
    unsigned difference = a.size() == b.size() ? 0u : 1u;
    for (std::size_t i = 0; i < length; ++i) {
        const auto x = i < a.size() ? static_cast<unsigned char>(a[i]) : 0u;
        const auto y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0u;
        difference |= x ^ y;
    }
    return difference == 0;
}

}  // namespace veltrona::ui
