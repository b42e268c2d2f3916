#include "ProgramFolderAcl.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>

namespace veltrona::ctl {

namespace {

using Mask = std::uint32_t;

// Specific rights of files and folders (a folder's "add file" is a file's "write data").
constexpr Mask kWriteData = 0x2;       // folder: add a file
constexpr Mask kAppendData = 0x4;      // folder: add a subfolder
constexpr Mask kDeleteChild = 0x40;    // folder: delete any file in it
constexpr Mask kDelete = 0x10000;      // delete or rename the object itself
constexpr Mask kWriteDac = 0x40000;    // change the permissions
constexpr Mask kWriteOwner = 0x80000;  // take the ownership
constexpr Mask kFileAll = 0x1F01FF;    // FILE_ALL_ACCESS
constexpr Mask kGenericRead = 0x80000000;
constexpr Mask kGenericWrite = 0x40000000;
constexpr Mask kGenericExecute = 0x20000000;
constexpr Mask kGenericAll = 0x10000000;

constexpr Mask kChangesFolder =
    kWriteData | kAppendData | kDeleteChild | kDelete | kWriteDac | kWriteOwner;
constexpr Mask kChangesFile = kWriteData | kAppendData | kDelete | kWriteDac | kWriteOwner;

// ACE flags.
constexpr unsigned kObjectInherit = 1;
constexpr unsigned kInheritOnly = 2;

struct Trustee {
    const char* alias;
    const char* sid;
    const char* name;
    bool administrator;
};

// The SDDL aliases of accounts and groups that file permissions name.
constexpr Trustee kTrustees[] = {
    {"BA", "S-1-5-32-544", "Administrators", true},
    {"SY", "S-1-5-18", "SYSTEM", true},
    {"DA", nullptr, "Domain Admins", true},
    {"EA", nullptr, "Enterprise Admins", true},
    {"LA", nullptr, "Administrator", true},
    {"BU", "S-1-5-32-545", "Users", false},
    {"AU", "S-1-5-11", "Authenticated Users", false},
    {"WD", "S-1-1-0", "Everyone", false},
    {"IU", "S-1-5-4", "INTERACTIVE", false},
    {"NU", "S-1-5-2", "NETWORK", false},
    {"AN", "S-1-5-7", "ANONYMOUS LOGON", false},
    {"BG", "S-1-5-32-546", "Guests", false},
    {"PU", "S-1-5-32-547", "Power Users", false},
    {"AO", "S-1-5-32-548", "Account Operators", false},
    {"BO", "S-1-5-32-551", "Backup Operators", false},
    {"RD", "S-1-5-32-555", "Remote Desktop Users", false},
    {"SU", "S-1-5-6", "SERVICE", false},
    {"LS", "S-1-5-19", "LOCAL SERVICE", false},
    {"NS", "S-1-5-20", "NETWORK SERVICE", false},
    {"PS", "S-1-5-10", "SELF", false},
    {"RC", "S-1-5-12", "RESTRICTED", false},
    {"WR", "S-1-5-33", "WRITE RESTRICTED", false},
    {"AC", "S-1-15-2-1", "ALL APPLICATION PACKAGES", false},
    {"DU", nullptr, "Domain Users", false},
    {"LG", nullptr, "Guest", false},
};
constexpr const char* kTrustedInstaller =
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
constexpr const char* kEveryone = "Everyone";

struct Rights {
    const char* code;
    Mask mask;
};
constexpr Rights kRights[] = {
    {"GA", kGenericAll}, {"GR", kGenericRead}, {"GW", kGenericWrite}, {"GX", kGenericExecute},
    {"RC", 0x20000},     {"SD", kDelete},      {"WD", kWriteDac},     {"WO", kWriteOwner},
    {"RP", 0x10},        {"WP", 0x20},         {"CC", 0x1},           {"DC", 0x2},
    {"LC", 0x4},         {"SW", 0x8},          {"LO", 0x80},          {"DT", 0x40},
    {"CR", 0x100},       {"FA", kFileAll},     {"FR", 0x120089},      {"FW", 0x120116},
    {"FX", 0x1200A0},    {"KA", 0xF003F},      {"KR", 0x20019},       {"KW", 0x20006},
    {"KX", 0x20019},
};

[[noreturn]] void bad(std::string_view sddl, const std::string& what) {
    throw SddlError("security descriptor \"" + std::string(sddl) + "\": " + what);
}

// The generic rights as the file system maps them.
Mask specific(Mask mask) {
    if (mask & kGenericAll) {
        mask |= kFileAll;
    }
    if (mask & kGenericWrite) {
        mask |= 0x120116;
    }
    if (mask & kGenericRead) {
        mask |= 0x120089;
    }
    if (mask & kGenericExecute) {
        mask |= 0x1200A0;
    }
    return mask & ~(kGenericAll | kGenericWrite | kGenericRead | kGenericExecute);
}

Mask parseRights(std::string_view sddl, std::string_view text) {
    if (text.starts_with("0x") || text.starts_with("0X") ||
        (!text.empty() && text[0] >= '0' && text[0] <= '9')) {
        const std::string digits(text);
        char* end = nullptr;
        const unsigned long value = std::strtoul(digits.c_str(), &end, 0);
        if (end != digits.c_str() + digits.size()) {
            bad(sddl, "rights \"" + digits + "\"");
        }
        return static_cast<Mask>(value);
    }
    Mask mask = 0;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const std::string_view code = text.substr(i, 2);
        const auto known = std::find_if(std::begin(kRights), std::end(kRights),
                                        [&](const Rights& r) { return code == r.code; });
        if (code.size() != 2 || known == std::end(kRights)) {
            bad(sddl, "rights \"" + std::string(text) + "\"");
        }
        mask |= known->mask;
    }
    return mask;
}

unsigned parseFlags(std::string_view sddl, std::string_view text) {
    unsigned flags = 0;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const std::string_view flag = text.substr(i, 2);
        if (flag == "OI") {
            flags |= kObjectInherit;
        } else if (flag == "IO") {
            flags |= kInheritOnly;
        } else if (flag != "CI" && flag != "NP" && flag != "ID" && flag != "SA" && flag != "FA") {
            bad(sddl, "ACE flags \"" + std::string(text) + "\"");
        }
    }
    return flags;
}

// What a trustee is to the rule: its name, or nothing for an administrator and for the
// creator placeholders.
class Judge {
  public:
    explicit Judge(const std::vector<std::string>& administrators)
        : administrators_(administrators) {}

    std::optional<std::string> nonAdministrator(std::string_view trustee) const {
        if (trustee == "CO" || trustee == "CG" || trustee == "S-1-3-0" || trustee == "S-1-3-1") {
            return std::nullopt;
        }
        for (const Trustee& known : kTrustees) {
            if (trustee == known.alias || (known.sid != nullptr && trustee == known.sid)) {
                return known.administrator ? std::nullopt : std::optional<std::string>(known.name);
            }
        }
        const std::string sid(trustee);
        if (sid == kTrustedInstaller || std::find(administrators_.begin(), administrators_.end(),
                                                  sid) != administrators_.end()) {
            return std::nullopt;
        }
        // The domain's or machine's Administrator (500), Domain Admins (512) and Enterprise
        // Admins (519).
        if (sid.starts_with("S-1-5-21-")) {
            const std::string rid = sid.substr(sid.rfind('-') + 1);
            if (rid == "500" || rid == "512" || rid == "519") {
                return std::nullopt;
            }
        }
        return sid;
    }

  private:
    const std::vector<std::string>& administrators_;
};

// A trustee as its alias where it has one, so "S-1-1-0" and "WD" are one trustee.
std::string canonical(std::string_view trustee) {
    for (const Trustee& known : kTrustees) {
        if (known.sid != nullptr && trustee == known.sid) {
            return known.alias;
        }
    }
    return std::string(trustee);
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t begin = 0;
    for (std::size_t end; (end = text.find(separator, begin)) != std::string_view::npos;
         begin = end + 1) {
        parts.push_back(text.substr(begin, end - begin));
    }
    parts.push_back(text.substr(begin));
    return parts;
}

// The parts "O:", "G:", "D:" and "S:" of a descriptor, by their letter.
std::map<char, std::string_view> sections(std::string_view sddl) {
    std::map<char, std::string_view> parts;
    std::optional<char> current;
    std::size_t start = 0;
    int depth = 0;
    for (std::size_t i = 0; i <= sddl.size(); ++i) {
        const bool end = i == sddl.size();
        const char c = end ? '\0' : sddl[i];
        if (!end && c == '(') {
            ++depth;
        } else if (!end && c == ')') {
            --depth;
        }
        const bool marker = !end && depth == 0 && i + 1 < sddl.size() && sddl[i + 1] == ':' &&
                            std::string_view("OGDS").find(c) != std::string_view::npos;
        if (marker || end) {
            if (current) {
                parts[*current] = sddl.substr(start, i - start);
            } else if (i > 0) {
                bad(sddl, "text before its first part");
            }
            if (marker) {
                current = c;
                start = i + 2;
                ++i;
            }
        }
    }
    if (depth != 0) {
        bad(sddl, "unbalanced parentheses");
    }
    return parts;
}

}  // namespace

std::vector<std::string> nonAdministratorWriters(std::string_view sddl, AclObject object,
                                                 const std::vector<std::string>& administrators) {
    const Judge judge(administrators);
    const auto parts = sections(sddl);
    std::vector<std::string> writers;
    auto add = [&](const std::string& name) {
        if (std::find(writers.begin(), writers.end(), name) == writers.end()) {
            writers.push_back(name);
        }
    };

    std::optional<std::string> owner;
    if (const auto found = parts.find('O'); found != parts.end()) {
        owner = judge.nonAdministrator(found->second);
    }
    const auto dacl = parts.find('D');
    if (dacl == parts.end() || dacl->second.starts_with("NO_ACCESS_CONTROL")) {
        add(kEveryone);
    } else {
        const std::string_view entries = dacl->second.substr(
            dacl->second.find('(') == std::string_view::npos ? dacl->second.size()
                                                             : dacl->second.find('('));
        // What deny entries took away so far, by trustee, for the object and for its files.
        std::map<std::string, Mask> deniedHere;
        std::map<std::string, Mask> deniedFiles;
        for (std::size_t at = 0; at < entries.size();) {
            const std::size_t close = entries.find(')', at);
            if (entries[at] != '(' || close == std::string_view::npos) {
                bad(sddl, "an ACE not in parentheses");
            }
            const auto fields = split(entries.substr(at + 1, close - at - 1), ';');
            at = close + 1;
            if (fields.size() < 6) {
                bad(sddl, "an ACE of " + std::to_string(fields.size()) + " fields");
            }
            const std::string_view type = fields[0];
            const bool allow = type == "A" || type == "OA" || type == "XA" || type == "ZA";
            const bool deny = type == "D" || type == "OD" || type == "XD";
            const unsigned flags = parseFlags(sddl, fields[1]);
            const Mask mask = specific(parseRights(sddl, fields[2]));
            const std::string trustee = canonical(fields[5]);
            const bool here = !(flags & kInheritOnly);
            const bool files = object == AclObject::Folder && (flags & kObjectInherit);
            if (deny) {
                deniedHere[trustee] |= here ? mask : 0;
                deniedFiles[trustee] |= files ? mask : 0;
                continue;
            }
            if (!allow) {
                continue;  // audit and alarm entries grant nothing
            }
            std::optional<std::string> name =
                trustee == "OW" || trustee == "S-1-3-4" ? owner : judge.nonAdministrator(trustee);
            if (!name) {
                continue;
            }
            const Mask changes = object == AclObject::Folder ? kChangesFolder : kChangesFile;
            const Mask left =
                ((here ? mask & ~deniedHere[trustee] & ~deniedHere["WD"] : 0) & changes) |
                ((files ? mask & ~deniedFiles[trustee] & ~deniedFiles["WD"] : 0) & kChangesFile);
            if (left != 0) {
                add(*name);
            }
        }
    }
    if (owner) {
        add("owner " + *owner);
    }
    return writers;
}

}  // namespace veltrona::ctl
