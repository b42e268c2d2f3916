#include "CtlOutput.h"

#include <cmath>
#include <cstdio>

#include "CtlPlatform.h"
#include "config/text/CodePage.h"
#include "config/text/TextEncoding.h"

namespace veltrona::ctl {

namespace {

// A JSON string. Whatever bytes a file, an argument or a peer brought, the result is
// valid JSON: control characters are escaped and each byte that is no part of
// well-formed UTF-8 becomes U+FFFD.
std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : config::toUtf8(text, config::TextEncoding::Utf8)) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
                    out += escape;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

}  // namespace

void JsonObject::key(std::string_view name) {
    if (!members_.empty()) {
        members_ += ",";
    }
    members_ += quoted(name) + ":";
}

JsonObject& JsonObject::text(std::string_view name, std::string_view value) {
    key(name);
    members_ += quoted(value);
    return *this;
}

JsonObject& JsonObject::integer(std::string_view name, std::int64_t value) {
    key(name);
    members_ += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::number(std::string_view name, double value) {
    key(name);
    if (!std::isfinite(value)) {
        members_ += "null";
        return *this;
    }
    char digits[32];
    std::snprintf(digits, sizeof digits, "%.3f", value);
    members_ += digits;
    return *this;
}

JsonObject& JsonObject::boolean(std::string_view name, bool value) {
    key(name);
    members_ += value ? "true" : "false";
    return *this;
}

JsonObject& JsonObject::null(std::string_view name) {
    key(name);
    members_ += "null";
    return *this;
}

JsonObject& JsonObject::object(std::string_view name, const JsonObject& value) {
    key(name);
    members_ += value.str();
    return *this;
}

JsonObject& JsonObject::array(std::string_view name, const std::vector<JsonObject>& values) {
    key(name);
    members_ += "[";
    for (std::size_t i = 0; i < values.size(); ++i) {
        members_ += (i == 0 ? "" : ",") + values[i].str();
    }
    members_ += "]";
    return *this;
}

JsonObject& JsonObject::append(const JsonObject& other) {
    if (!members_.empty() && !other.members_.empty()) {
        members_ += ",";
    }
    members_ += other.members_;
    return *this;
}

JsonObject errorJson(int exitCode, std::string_view message) {
    return JsonObject().integer("exitCode", exitCode).text("error", jsonText(message));
}

std::string fileErrorText(const config::FileError& error) {
    std::string what;
    switch (error.action()) {
        case config::FileAction::Open:
            what = "cannot be opened";
            break;
        case config::FileAction::Read:
            what = "cannot be read and is left unchanged";
            break;
        case config::FileAction::Write:
            what = "cannot be written";
            break;
    }
    return "File \"" + messagePath(error.path()) + "\" " + what + ". " +
           messageText(error.reason()) + ".";
}

std::string withoutControls(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            shown += escape;
        } else {
            shown += c;
        }
    }
    return shown;
}

ShownTextBuffer::int_type ShownTextBuffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return traits_type::not_eof(c);
    }
    const char ch = traits_type::to_char_type(c);
    return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
}

std::streamsize ShownTextBuffer::xsputn(const char* text, std::streamsize count) {
    std::streamsize done = 0;
    while (done < count) {
        // Up to the next line end, which passes as it is.
        const char* begin = text + done;
        const char* end = begin;
        while (end < text + count && *end != '\n') {
            ++end;
        }
        std::string shown = withoutControls(std::string_view(begin, end));
        if (end < text + count) {
            shown += '\n';
            ++end;
        }
        const auto size = static_cast<std::streamsize>(shown.size());
        if (target_->sputn(shown.data(), size) != size) {
            return done;
        }
        written_ += shown.size();
        done = end - text;
    }
    return done;
}

std::string jsonText(std::string_view systemBytes) {
    return config::CodePage::system().toUtf8(systemBytes);
}

std::string jsonPath(const std::filesystem::path& path) {
    if (config::CodePage::system() == config::CodePage::utf8()) {
        return jsonText(path.string());  // bytes as the system keeps them, made valid
    }
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
}

std::string messagePath(const std::filesystem::path& path) {
    const config::CodePage system = config::CodePage::system();
    if (system == config::CodePage::utf8()) {
        return path.string();
    }
    const std::u8string utf8 = path.u8string();
    return system.fromUtf8(std::string(utf8.begin(), utf8.end()));
}

std::filesystem::path systemPath(const std::string& text) {
    const config::CodePage system = config::CodePage::system();
    if (system == config::CodePage::utf8()) {
        return text;
    }
    const std::string utf8 = system.toUtf8(text);
    return std::u8string(utf8.begin(), utf8.end());
}

std::string messageText(std::string_view utf8) {
    const config::CodePage system = config::CodePage::system();
    return system == config::CodePage::utf8() ? std::string(utf8) : system.fromUtf8(utf8);
}

JsonObject processJson(const process::ProcessEntry& entry) {
    const std::optional<WidePath> wide = wideExecutable(entry);
    return JsonObject()
        .integer("id", entry.id)
        .text("executable", wide ? wide->utf8 : jsonText(entry.executable));
}

std::string shownExecutable(const process::ProcessEntry& entry) {
    const std::optional<WidePath> wide = wideExecutable(entry);
    return withoutControls(wide ? wide->shown : entry.executable);  // a line end too
}

std::string describe(const process::ProcessEntry& entry) {
    return "process " + std::to_string(entry.id) + " (" +
           (entry.executable.empty() ? "executable unknown" : shownExecutable(entry)) + ")";
}

std::string describe(const std::vector<process::ProcessEntry>& entries) {
    std::string text;
    for (const process::ProcessEntry& entry : entries) {
        text += (text.empty() ? "" : ", ") + describe(entry);
    }
    return text;
}

std::vector<JsonObject> processesJson(const std::vector<process::ProcessEntry>& entries) {
    std::vector<JsonObject> json;
    for (const process::ProcessEntry& entry : entries) {
        json.push_back(processJson(entry));
    }
    return json;
}

double inSeconds(std::chrono::milliseconds duration) {
    return static_cast<double>(duration.count()) / 1000.0;
}

std::string shortestNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string secondsText(std::chrono::milliseconds duration) {
    return shortestNumber(inSeconds(duration)) + " s";
}

std::string secondsInWords(std::chrono::milliseconds duration) {
    return shortestNumber(inSeconds(duration)) +
           (duration.count() == 1000 ? " second" : " seconds");
}

}  // namespace veltrona::ctl
