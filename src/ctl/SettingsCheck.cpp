// `settings check`: the settings file as the server's settings are read from it, one line
// per problem, in the manner of a server's own configuration test.
#include "SettingsCommand.h"
#include "SettingsLines.h"
#include "ShownSettings.h"
#include "config/text/TextEncoding.h"

namespace veltrona::ctl {

namespace {

// A problem's text for a terminal: the system's code page, no control characters.
std::string shownText(const std::string& utf8) {
    std::string shown = messageText(utf8);
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = '?';
        }
    }
    return shown;
}

}  // namespace

int runSettingsCheck(const CtlContext& context) {
    const server::SettingsDocument document = server::readSettingsDocument(context.programFolder);
    refuseUnreadDocument(document);
    const std::filesystem::path path = server::settingsWritePath(document, context.programFolder);

    std::vector<SettingsProblem> problems;
    if (!document.path) {
        problems.push_back({0, "there is no settings file"});
    } else {
        problems = settingsProblems(document.content, document.codePage);
    }

    if (context.json) {
        std::vector<JsonObject> listed;
        for (const SettingsProblem& problem : problems) {
            listed.push_back(JsonObject()
                                 .integer("line", static_cast<std::int64_t>(problem.line))
                                 .text("problem", problem.text));
        }
        context.out << JsonObject()
                           .text("file", jsonPath(path))
                           .boolean("ok", problems.empty())
                           .array("problems", listed)
                           .str()
                    << "\n";
    } else {
        const std::string shownPath = messagePath(path);
        for (const SettingsProblem& problem : problems) {
            context.out << shownPath
                        << (problem.line ? ":" + std::to_string(problem.line) : std::string())
                        << ": " << shownText(problem.text) << "\n";
        }
        context.out << shownPath << ": "
                    << (problems.empty()       ? std::string("ok")
                        : problems.size() == 1 ? std::string("1 problem")
                                               : std::to_string(problems.size()) + " problems")
                    << "\n";
    }
    return problems.empty() ? kSuccess : kFailure;
}

}  // namespace veltrona::ctl
