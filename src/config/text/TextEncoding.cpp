#include "TextEncoding.h"

#include <array>

namespace veltrona::config {

namespace {

// Windows-1252 from 0x80 to 0x9F. The five bytes the code page leaves undefined map to
// the C1 control of the same number, so every byte has a character and round-trips.
constexpr std::array<char32_t, 32> kHighControls{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

constexpr char32_t kReplacement = 0xFFFD;

// A byte 10xxxxxx, which goes on with the character an earlier byte started.
constexpr bool isContinuationByte(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// Decodes one well-formed UTF-8 sequence at the start of `bytes`: its code point and length,
// or length 0 when the sequence is ill-formed (overlong, surrogate, beyond U+10FFFF,
// truncated or a stray continuation byte).
struct Decoded {
    char32_t codePoint = 0;
    std::size_t length = 0;
};

Decoded decodeUtf8(std::string_view bytes) {
    const auto byte = [&bytes](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return {lead, 1};
    }
    std::size_t length = 0;
    char32_t codePoint = 0;
    // The lowest and highest second byte that keep the sequence well-formed: this rules
    // out overlong forms, UTF-16 surrogates and code points beyond U+10FFFF.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        if (lead == 0xE0) {
            low = 0xA0;
        } else if (lead == 0xED) {
            high = 0x9F;
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        if (lead == 0xF0) {
            low = 0x90;
        } else if (lead == 0xF4) {
            high = 0x8F;
        }
    } else {
        return {};
    }
    if (bytes.size() < length || byte(1) < low || byte(1) > high) {
        return {};
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (!isContinuationByte(bytes[i])) {
            return {};
        }
        codePoint = (codePoint << 6) | (byte(i) & 0x3F);
    }
    return {codePoint, length};
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The Windows-1252 byte for a code point, or '?' when the code page has none.
char toWindows1252(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<char>(c);
    }
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == c) {
            return static_cast<char>(0x80 + i);
        }
    }
    return '?';
}

}  // namespace

bool isValidUtf8(std::string_view bytes) {
    while (!bytes.empty()) {
        const Decoded d = decodeUtf8(bytes);
        if (d.length == 0) {
            return false;
        }
        bytes.remove_prefix(d.length);
    }
    return true;
}

TextEncoding detectEncoding(std::string_view bytes) {
    return isValidUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::Windows1252;
}

// From UTF-8 text, an ill-formed byte becomes U+FFFD, so the result is always valid UTF-8.
std::string toUtf8(std::string_view bytes, TextEncoding encoding) {
    std::string out;
    out.reserve(bytes.size());
    if (encoding == TextEncoding::Windows1252) {
        for (char ch : bytes) {
            const auto b = static_cast<unsigned char>(ch);
            appendUtf8(out, b >= 0x80 && b < 0xA0 ? kHighControls[b - 0x80] : char32_t{b});
        }
        return out;
    }
    while (!bytes.empty()) {
        const Decoded d = decodeUtf8(bytes);
        if (d.length == 0) {
            appendUtf8(out, kReplacement);
            bytes.remove_prefix(1);
        } else {
            out.append(bytes.substr(0, d.length));
            bytes.remove_prefix(d.length);
        }
    }
    return out;
}

// An ill-formed byte of the UTF-8 input holds no character and becomes "?" in either target.
std::string fromUtf8(std::string_view utf8, TextEncoding encoding) {
    std::string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        const Decoded d = decodeUtf8(utf8);
        if (d.length == 0) {
            out += '?';
            utf8.remove_prefix(1);
            continue;
        }
        if (encoding == TextEncoding::Utf8) {
            out.append(utf8.substr(0, d.length));
        } else {
            out += toWindows1252(d.codePoint);
        }
        utf8.remove_prefix(d.length);
    }
    return out;
}

std::size_t utf8CharacterCount(std::string_view utf8) {
    std::size_t count = 0;
    for (const char c : utf8) {
        count += !isContinuationByte(c);
    }
    return count;
}

std::string firstUtf8Characters(std::string_view utf8, std::size_t count) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (!isContinuationByte(utf8[i]) && characters++ == count) {
            return std::string(utf8.substr(0, i));
        }
    }
    return std::string(utf8);
}

}  // namespace veltrona::config
