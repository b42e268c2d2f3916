#include "SettingsCommand.h"

#include <algorithm>

#include "ProcessSnapshot.h"
#include "SettingsLines.h"
#include "ShownSettings.h"
#include "config/file/FileAccess.h"
#include "config/settings/IntegerConversion.h"
#include "config/settings/PasswordPolicy.h"
#include "config/settings/SettingsSchema.h"
#include "config/text/AsciiCase.h"
#include "config/text/TextEncoding.h"
#include "server/ServerProgram.h"

namespace veltrona::ctl {

namespace {

using config::CodePage;
using config::ServerSettings;
using config::TransferSyntax;

// A setting refused on the command line; nothing is written.
class SettingRefused : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

using config::SettingKind;

// One setting as VeltronaCtl names it: its entry of the settings file, or, for the one
// TransferSyntax setting that stands for the four transfer-syntax keys, none.
struct Setting {
    std::string_view name;
    SettingKind kind;
    const config::SettingEntry* entry = nullptr;
};

// The settings in the order VeltronaCtl lists them: every entry of the settings file, the
// four transfer-syntax keys as the one TransferSyntax setting. The listing has an order of
// its own; an entry it does not name comes last, so that none is ever left out.
const std::vector<Setting>& settingsTable() {
    static const std::vector<Setting> table = [] {
        static constexpr std::string_view kOrder[] = {
            "-aet", "Port", "FIFOMax",        "FIFOMin",   "MaxDaysLocal", "RegNewOnView",
            "-od",  "-db",  "TransferSyntax", "parameter", "-dhl",         "AdminPassword"};
        std::vector<Setting> settings;
        for (const config::SettingEntry& entry : config::settingsSchema()) {
            if (entry.kind != SettingKind::Choice) {
                settings.push_back({entry.key, entry.kind, &entry});
            } else if (std::none_of(settings.begin(), settings.end(), [](const Setting& setting) {
                           return setting.entry == nullptr;
                       })) {
                settings.push_back({"TransferSyntax", SettingKind::Choice});
            }
        }
        const auto rank = [](const Setting& setting) {
            return std::find(std::begin(kOrder), std::end(kOrder), setting.name) -
                   std::begin(kOrder);
        };
        std::stable_sort(settings.begin(), settings.end(),
                         [&](const Setting& a, const Setting& b) { return rank(a) < rank(b); });
        return settings;
    }();
    return table;
}

// Each choice with the code that names it on the command line: the server's option, or
// "none".
const std::vector<std::pair<TransferSyntax, std::string_view>> kSyntaxCodes = [] {
    std::vector<std::pair<TransferSyntax, std::string_view>> codes = {
        {TransferSyntax::None, "none"}};
    for (TransferSyntax syntax : {TransferSyntax::Uncompressed, TransferSyntax::JpegLossless,
                                  TransferSyntax::JpegLossy, TransferSyntax::ImplicitVR}) {
        codes.emplace_back(syntax, config::transferSyntaxCode(syntax));
    }
    return codes;
}();

std::string_view withoutDash(std::string_view name) {
    return name.starts_with('-') ? name.substr(1) : name;
}

const Setting* findSetting(std::string_view name) {
    for (const Setting& setting : settingsTable()) {
        if (config::equalsIgnoringAsciiCase(withoutDash(name), withoutDash(setting.name))) {
            return &setting;
        }
    }
    return nullptr;
}

// A value as the window shows it (UTF-8).
std::string shownValue(const Setting& setting, const ServerSettings& s) {
    switch (setting.kind) {
        case SettingKind::Text:
            return s.*setting.entry->text;
        case SettingKind::Integer:
            return std::to_string(s.*setting.entry->integer);
        case SettingKind::OptionalInteger:
            return s.*setting.entry->flag ? std::to_string(s.*setting.entry->integer) : "off";
        case SettingKind::Flag:
            return s.*setting.entry->flag ? "true" : "false";
        case SettingKind::Choice:
            for (const auto& [syntax, code] : kSyntaxCodes) {
                if (syntax == s.transferSyntax) {
                    return std::string(code);
                }
            }
            return "none";
        case SettingKind::Password:
            return (s.*setting.entry->password).empty() ? "not set" : "set";
    }
    return {};
}

JsonObject settingsJson(const ServerSettings& s) {
    JsonObject json;
    for (const Setting& setting : settingsTable()) {
        const config::SettingEntry* entry = setting.entry;
        if (setting.kind == SettingKind::Integer ||
            (setting.kind == SettingKind::OptionalInteger && s.*entry->flag)) {
            json.integer(setting.name, s.*entry->integer);
        } else if (setting.kind == SettingKind::Flag) {
            json.boolean(setting.name, s.*entry->flag);
        } else {
            json.text(setting.name, shownValue(setting, s));
        }
    }
    return json;
}

std::int32_t integerValue(const Setting& setting, const std::string& value) {
    const auto number = config::parseInteger(value);
    if (!number) {
        throw SettingRefused(std::string(setting.name) + ": \"" + value + "\" is not an integer");
    }
    return *number;
}

bool flagValue(const Setting& setting, const std::string& value) {
    if (config::equalsIgnoringAsciiCase(value, "true")) {
        return true;
    }
    if (config::equalsIgnoringAsciiCase(value, "false")) {
        return false;
    }
    throw SettingRefused(std::string(setting.name) + ": \"" + value +
                         "\" is neither true nor false");
}

// Applies one checked assignment to the settings as the window holds them. `value` is in
// the system code page; texts reach the settings in UTF-8, the password in the file's
// code page, as the window's prompt compares it. A value is taken exactly or not at all.
void apply(const Setting& setting, const std::string& value, ServerSettings& s,
           const CodePage& fileCodePage) {
    const CodePage system = CodePage::system();
    const std::string utf8 = system.toUtf8(value);
    if (system.fromUtf8(utf8) != value) {
        throw SettingRefused(std::string(setting.name) +
                             ": the value is no valid text in the system's encoding");
    }
    const auto refuseIfLossy = [&] {
        if (fileCodePage.toUtf8(fileCodePage.fromUtf8(utf8)) != utf8) {
            throw SettingRefused(std::string(setting.name) +
                                 ": the value holds characters that the code page of "
                                 "Server.INI cannot hold");
        }
    };
    const config::SettingEntry* entry = setting.entry;
    if (entry == config::entryOfKey("Port") && !portNumber(value)) {
        // The window writes whatever is typed; a command that writes for a script does not
        // leave a server that listens nowhere.
        throw SettingRefused(std::string(setting.name) + ": \"" + withoutControls(value) +
                             "\" is not a port number (1 to 65535)");
    }
    switch (setting.kind) {
        case SettingKind::Text:
            refuseIfLossy();
            s.*entry->text = utf8;
            break;
        case SettingKind::Integer:
            s.*entry->integer = integerValue(setting, value);
            break;
        case SettingKind::OptionalInteger:
            if (config::equalsIgnoringAsciiCase(value, "off")) {
                s.*entry->flag = false;
            } else {
                s.*entry->integer = integerValue(setting, value);
                s.*entry->flag = true;
            }
            break;
        case SettingKind::Flag:
            s.*entry->flag = flagValue(setting, value);
            break;
        case SettingKind::Choice: {
            for (const auto& [syntax, code] : kSyntaxCodes) {
                if (config::equalsIgnoringAsciiCase(value, code)) {
                    s.transferSyntax = syntax;
                    return;
                }
            }
            std::string codes;
            for (const auto& [syntax, code] : kSyntaxCodes) {
                codes += (codes.empty() ? "" : ", ") + std::string(code);
            }
            throw SettingRefused(std::string(setting.name) + ": \"" + value + "\" is none of " +
                                 codes);
        }
        case SettingKind::Password: {
            // The reader trims what the file holds and the prompt takes only so many
            // characters: anything else would be a password that can never be entered.
            const bool control = std::any_of(utf8.begin(), utf8.end(), [](char c) {
                return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
            });
            if (control || (!utf8.empty() && (utf8.front() == ' ' || utf8.back() == ' '))) {
                throw SettingRefused(std::string(setting.name) +
                                     ": a password can neither begin nor end with a blank, nor "
                                     "hold control characters");
            }
            if (config::utf8CharacterCount(utf8) > config::kMaxPasswordCharacters) {
                throw SettingRefused(std::string(setting.name) + ": longer than the " +
                                     std::to_string(config::kMaxPasswordCharacters) +
                                     " characters the password prompt takes");
            }
            refuseIfLossy();
            s.*entry->password = {fileCodePage.fromUtf8(utf8)};
            break;
        }
    }
}

// A line the window reports as no integer keeps its spin edit at 0, so a write would
// turn it into 0: that happens only when the command sets the value itself.
void refuseToZeroInvalidIntegers(const ShownSettings& settings,
                                 const std::vector<const Setting*>& set) {
    for (const config::InvalidInteger& invalid : settings.document.invalidIntegers) {
        const bool replaced = std::any_of(set.begin(), set.end(), [&](const Setting* setting) {
            return invalid.key == setting->name;
        });
        if (!replaced) {
            const std::string line = CodePage::system().fromUtf8(invalid.line);
            throw SettingRefused("Server.INI: the line \"" + withoutControls(line) +
                                 "\" holds no integer, and writing would make it " + invalid.key +
                                 " = 0; set " + invalid.key + " as well");
        }
    }
}

// What a write would change in the file, line by line, without writing: the lines it
// would drop ("-") and those it would add ("+"), each in the order of its file. The admin
// password is never shown.
int showDryRun(const CtlContext& context, const ShownSettings& settings,
               const ServerSettings& changed, bool changes, const std::filesystem::path& path) {
    std::vector<SettingsLineChange> lines;
    if (changes) {
        const config::CodePage& codePage = settings.document.codePage;
        lines = settingsLineChanges(
            codePage.toUtf8(settings.document.content),
            codePage.toUtf8(server::settingsDocumentBytes(settings.document, changed)));
    }
    if (context.json) {
        std::vector<JsonObject> shown;
        for (const SettingsLineChange& line : lines) {
            shown.push_back(JsonObject().text(line.added ? "added" : "removed", line.text));
        }
        context.out << JsonObject()
                           .text("file", jsonPath(path))
                           .boolean("dryRun", true)
                           .boolean("changed", changes)
                           .array("lines", shown)
                           .object("settings", settingsJson(changed))
                           .str()
                    << "\n";
        return kSuccess;
    }
    if (!changes) {
        context.out << "Unchanged " << messagePath(path) << "\n";
    }
    const CodePage system = CodePage::system();
    for (const SettingsLineChange& line : lines) {
        context.out << (line.added ? "+" : "-") << withoutControls(system.fromUtf8(line.text))
                    << "\n";
    }
    return kSuccess;
}

int setUnderLock(const CtlContext& context, const std::vector<std::string>& assignments,
                 bool dryRun, const config::FileLock& lock) {
    const ShownSettings settings = readShownSettings(context);
    ServerSettings changed = settings.shown;
    try {
        std::vector<const Setting*> set;
        for (const std::string& assignment : assignments) {
            const std::size_t equals = assignment.find('=');
            if (equals == std::string::npos) {
                throw SettingRefused("\"" + withoutControls(assignment) + "\" is not NAME=VALUE");
            }
            const std::string name = assignment.substr(0, equals);
            const Setting* setting = findSetting(name);
            if (setting == nullptr) {
                throw SettingRefused("unknown setting \"" + withoutControls(name) + "\"");
            }
            apply(*setting, assignment.substr(equals + 1), changed, settings.document.codePage);
            set.push_back(setting);
        }
        refuseToZeroInvalidIntegers(settings, set);
    } catch (const SettingRefused& refused) {
        throw CtlError(kUsage, std::string(refused.what()) + "; nothing was written");
    }

    const std::filesystem::path path =
        server::settingsWritePath(settings.document, context.programFolder);
    // A file that holds these values already stays as it is, untouched: a script that
    // sets what is there learns that nothing changed. A line that held no number changes
    // even when the value set is the 0 that it was read as.
    const bool changes = !settings.document.path || changed != settings.shown ||
                         !settings.document.invalidIntegers.empty();
    if (dryRun) {
        return showDryRun(context, settings, changed, changes, path);
    }
    if (!changes) {
        if (context.json) {
            context.out << JsonObject()
                               .null("written")
                               .boolean("changed", false)
                               .object("settings", settingsJson(changed))
                               .str()
                        << "\n";
        } else {
            context.out << "Unchanged " << messagePath(path) << "\n";
        }
        return kSuccess;
    }
    server::writeSettingsDocument(settings.document, changed, context.programFolder, lock);

    const ProcessSnapshot snapshot(context.processes, context.programFolder);
    for (const process::ProcessEntry& window : snapshot.windowsOn(context.programFolder)) {
        context.err << "warning: the window is open on this folder (" << describe(window)
                    << "); when it closes it writes the values changed in it over these\n";
    }
    if (snapshot.serverRunning()) {
        context.err << "note: " << server::kServerExecutableName
                    << " is running; all changes require a restart of the "
                       "server\n";
    }
    if (context.json) {
        context.out << JsonObject()
                           .text("written", jsonPath(path))
                           .boolean("changed", true)
                           .object("settings", settingsJson(changed))
                           .str()
                    << "\n";
    } else {
        context.out << "Wrote " << messagePath(path) << "\n";
    }
    return kSuccess;
}

}  // namespace

int runSettings(const CtlContext& context) {
    const ShownSettings settings = readShownSettings(context);
    if (context.json) {
        const auto& path = settings.document.path;
        JsonObject json;
        if (path) {
            json.text("file", jsonPath(*path));
        } else {
            json.null("file");
        }
        context.out << json.object("settings", settingsJson(settings.shown)).str() << "\n";
        return kSuccess;
    }
    const CodePage system = CodePage::system();
    for (const Setting& setting : settingsTable()) {
        context.out << setting.name << "="
                    << withoutControls(system.fromUtf8(shownValue(setting, settings.shown)))
                    << "\n";
    }
    return kSuccess;
}

int runSettingsSet(const CtlContext& context, const std::vector<std::string>& assignments,
                   bool dryRun) {
    // From the reading of the file to the write, no other writer comes between.
    const config::FileLock lock = server::lockSettingsFile(context.programFolder);
    return setUnderLock(context, assignments, dryRun, lock);
}

}  // namespace veltrona::ctl
