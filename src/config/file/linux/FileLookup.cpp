// Case-insensitive lookup of the tool's file names on a file system that tells letter
// cases apart.
#include <algorithm>
#include <system_error>
#include <vector>

#include "config/file/FileAccess.h"
#include "config/text/AsciiCase.h"

namespace veltrona::config {

namespace {

// The entry of `folder` that `component` names: the exact name when it exists, otherwise
// the first entry in byte order whose name differs only in ASCII case (so the choice does
// not depend on the order the directory lists its entries), otherwise `component` itself.
// Only folders qualify when `mustBeFolder`.
std::string resolveComponent(const std::filesystem::path& folder, const std::string& component,
                             bool mustBeFolder) {
    std::error_code ec;
    const std::filesystem::path exact = folder / component;
    const bool exactFits =
        mustBeFolder ? std::filesystem::is_directory(exact, ec)
                     : std::filesystem::exists(std::filesystem::symlink_status(exact, ec));
    if (exactFits) {
        return component;
    }

    std::vector<std::string> candidates;
    std::filesystem::directory_iterator it(folder.empty() ? std::filesystem::path(".") : folder,
                                           ec);
    for (const std::filesystem::directory_iterator end; !ec && it != end; it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (!equalsIgnoringAsciiCase(entry, component)) {
            continue;
        }
        std::error_code typeError;
        if (mustBeFolder && !it->is_directory(typeError)) {
            continue;
        }
        candidates.push_back(std::move(entry));
    }
    if (candidates.empty()) {
        return component;
    }
    return *std::min_element(candidates.begin(), candidates.end());
}

}  // namespace

// `name` is split at "/" and also at "\", the separator the tool's own names were
// written with; each folder on the way is looked up like the last component.
std::filesystem::path findIgnoringCase(const std::filesystem::path& folder, std::string_view name) {
    std::vector<std::string> components;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("/\\", start);
        if (end == std::string_view::npos) {
            end = name.size();
        }
        if (end > start) {
            components.emplace_back(name.substr(start, end - start));
        }
        start = end + 1;
    }

    std::filesystem::path result = folder;
    for (std::size_t i = 0; i < components.size(); ++i) {
        const std::string& component = components[i];
        const bool last = i + 1 == components.size();
        if (component == "." || component == "..") {
            result /= component;
        } else {
            result /= resolveComponent(result, component, !last);
        }
    }
    return result;
}

}  // namespace veltrona::config
