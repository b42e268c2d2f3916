// The account the service runs under: its SID, and the folders it may use.
#include "ctl/windows/ServiceAccount.h"

#include <aclapi.h>
#include <ntsecapi.h>
#include <sddl.h>
#include <wincrypt.h>

#include <cwctype>
#include <stdexcept>
#include <string>

#include "config/file/windows/SystemError.h"
#include "ctl/ProgramFolderAcl.h"
#include "ctl/ServiceCommand.h"

namespace veltrona::ctl {

namespace fs = std::filesystem;

namespace {

// FILE_GENERIC_READ | FILE_GENERIC_EXECUTE, and that with FILE_GENERIC_WRITE and DELETE:
// what icacls calls RX and M.
constexpr DWORD kReadAndRun = 0x1200A9;
constexpr DWORD kChange = 0x1301BF;

[[noreturn]] void fail(const std::string& what, DWORD error) {
    throw std::runtime_error(what + ": " + config::systemMessage(error));
}

std::vector<BYTE> sidFromText(const std::wstring& text) {
    PSID sid = nullptr;
    if (!ConvertStringSidToSidW(text.c_str(), &sid)) {
        fail("The SID " + config::narrow(text, CP_ACP), GetLastError());
    }
    const BYTE* bytes = static_cast<const BYTE*>(sid);
    std::vector<BYTE> copy(bytes, bytes + GetLengthSid(sid));
    LocalFree(sid);
    return copy;
}

bool startsWithIgnoringCase(std::wstring_view text, std::wstring_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::towupper(text[i]) != std::towupper(prefix[i])) {
            return false;
        }
    }
    return true;
}

std::wstring comparable(std::wstring text) {
    for (wchar_t& c : text) {
        c = c == L'/' ? L'\\' : static_cast<wchar_t>(std::towlower(c));
    }
    while (text.size() > 3 && text.back() == L'\\') {
        text.pop_back();
    }
    return text;
}

// Opens the folder `path` to change its permissions, where it is the folder its name says:
// a junction or link on the way (which another account may have made) would hand the
// service's account some other folder, so that is refused.
HANDLE openFolderItself(const fs::path& path, DWORD access = READ_CONTROL | WRITE_DAC) {
    config::OwnedHandle folder(
        CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder.valid()) {
        fail("Opening " + messagePath(path), GetLastError());
    }
    std::wstring found(32768, L'\0');
    const DWORD length =
        GetFinalPathNameByHandleW(folder.get(), found.data(), static_cast<DWORD>(found.size()),
                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= found.size()) {
        fail("Finding where " + messagePath(path) + " leads", GetLastError());
    }
    found.resize(length);
    if (found.starts_with(L"\\\\?\\UNC\\")) {
        found = L"\\" + found.substr(7);
    } else if (found.starts_with(L"\\\\?\\")) {
        found = found.substr(4);
    }
    if (comparable(found) != comparable(fs::absolute(path).lexically_normal().wstring())) {
        throw std::runtime_error(messagePath(path) + " leads to " + messagePath(found) +
                                 " through a link: refused, the service's account would be "
                                 "given that folder. Name the folder itself");
    }
    return folder.release();
}

// Adds an entry for `sid` with `rights` to the DACL of the folder `path`, inherited by all
// below it; an entry of that SID there before is replaced. The DACL stays protected or not.
void setAccess(const fs::path& path, const std::vector<BYTE>& sid, DWORD rights) {
    const config::OwnedHandle folder(openFolderItself(path));
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD error = GetSecurityInfo(folder.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, &dacl, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) {
        fail("Reading the permissions of " + messagePath(path), error);
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);

    EXPLICIT_ACCESS_W entry{};
    entry.grfAccessPermissions = rights;
    entry.grfAccessMode = SET_ACCESS;
    entry.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
    entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    entry.Trustee.TrusteeType = TRUSTEE_IS_UNKNOWN;
    entry.Trustee.ptstrName = reinterpret_cast<wchar_t*>(const_cast<BYTE*>(sid.data()));
    PACL changed = nullptr;
    error = SetEntriesInAclW(1, &entry, dacl, &changed);
    if (error == ERROR_SUCCESS) {
        const SECURITY_INFORMATION what =
            DACL_SECURITY_INFORMATION |
            ((control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION
                                           : UNPROTECTED_DACL_SECURITY_INFORMATION);
        // By the handle: the folder checked above, whatever its name leads to meanwhile.
        error =
            SetSecurityInfo(folder.get(), SE_FILE_OBJECT, what, nullptr, nullptr, changed, nullptr);
    }
    LocalFree(changed);
    LocalFree(descriptor);
    if (error != ERROR_SUCCESS) {
        fail("Changing the permissions of " + messagePath(path), error);
    }
}

// The SID of the user who asks, when that user is an administrator (an elevated token):
// what that user owns only administrators may change.
std::vector<std::string> askingAdministrator() {
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof administrators;
    BOOL member = FALSE;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) ||
        !CheckTokenMembership(nullptr, administrators, &member) || !member) {
        return {};
    }
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return {};
    }
    const config::OwnedHandle owned(token);
    BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD length = 0;
    wchar_t* text = nullptr;
    if (!GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &length) ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
        return {};
    }
    std::vector<std::string> sids{config::narrow(text, CP_ACP)};
    LocalFree(text);
    return sids;
}

// "DOMAIN\name (S-1-5-21-...)" for a SID the system can name, else the SID.
std::string accountName(const std::string& sidText) {
    PSID sid = nullptr;
    if (!ConvertStringSidToSidA(sidText.c_str(), &sid)) {
        return sidText;
    }
    wchar_t name[256];
    wchar_t domain[256];
    DWORD nameSize = 256;
    DWORD domainSize = 256;
    SID_NAME_USE use;
    std::string text = sidText;
    if (LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use)) {
        text = config::narrow(std::wstring(domain) + L"\\" + name, CP_ACP) + " (" + sidText + ")";
    }
    LocalFree(sid);
    return text;
}

}  // namespace

std::vector<std::string> nonAdministratorWritersOf(const fs::path& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const SECURITY_INFORMATION parts = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    const DWORD error = GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, parts, nullptr, nullptr,
                                              nullptr, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) {
        fail("Reading the permissions of " + messagePath(path), error);
    }
    wchar_t* text = nullptr;
    const BOOL converted = ConvertSecurityDescriptorToStringSecurityDescriptorW(
        descriptor, SDDL_REVISION_1, parts, &text, nullptr);
    const DWORD conversionError = GetLastError();
    LocalFree(descriptor);
    if (!converted) {
        fail("Reading the permissions of " + messagePath(path), conversionError);
    }
    const std::string sddl = config::narrow(text, CP_ACP);
    LocalFree(text);
    std::error_code ignored;
    std::vector<std::string> writers = nonAdministratorWriters(
        sddl, fs::is_directory(path, ignored) ? AclObject::Folder : AclObject::File,
        askingAdministrator());
    for (std::string& writer : writers) {
        const bool owner = writer.starts_with("owner ");
        const std::string trustee = owner ? writer.substr(6) : writer;
        if (trustee.starts_with("S-")) {
            writer = (owner ? "owner " : "") + accountName(trustee);
        }
    }
    return writers;
}

std::wstring virtualAccountSid(std::wstring_view service) {
    // S-1-5-80 and the SHA-1 of the service's name in capitals (UTF-16LE), as five
    // little-endian 32-bit numbers: the SID Windows gives the account NT SERVICE\<name>.
    std::wstring upper(service);
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    BYTE digest[20];
    DWORD length = sizeof digest;
    const bool hashed =
        CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
        CryptCreateHash(provider, CALG_SHA1, 0, 0, &hash) &&
        CryptHashData(hash, reinterpret_cast<const BYTE*>(upper.data()),
                      static_cast<DWORD>(upper.size() * sizeof(wchar_t)), 0) &&
        CryptGetHashParam(hash, HP_HASHVAL, digest, &length, 0) && length == sizeof digest;
    const DWORD error = GetLastError();
    if (hash != 0) {
        CryptDestroyHash(hash);
    }
    if (provider != 0) {
        CryptReleaseContext(provider, 0);
    }
    if (!hashed) {
        fail("Computing the SID of NT SERVICE\\" + config::narrow(service, CP_ACP), error);
    }
    std::wstring sid = L"S-1-5-80";
    for (int i = 0; i < 5; ++i) {
        const unsigned long part = digest[4 * i] | digest[4 * i + 1] << 8 |
                                   digest[4 * i + 2] << 16 |
                                   static_cast<unsigned long>(digest[4 * i + 3]) << 24;
        sid += L"-" + std::to_wstring(part);
    }
    return sid;
}

std::vector<BYTE> accountSid(const std::wstring& account) {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    wchar_t domain[256];
    DWORD domainSize = 256;
    SID_NAME_USE use;
    if (LookupAccountNameW(nullptr, account.c_str(), sid, &size, domain, &domainSize, &use)) {
        return std::vector<BYTE>(sid, sid + GetLengthSid(sid));
    }
    const DWORD error = GetLastError();
    // A virtual account is known by name only once its service is; its SID is fixed.
    constexpr std::wstring_view kVirtual = L"NT SERVICE\\";
    if (startsWithIgnoringCase(account, kVirtual)) {
        return sidFromText(virtualAccountSid(std::wstring_view(account).substr(kVirtual.size())));
    }
    fail("The account " + config::narrow(account, CP_ACP), error);
}

bool isBuiltInServiceAccount(const std::wstring& account) {
    for (const wchar_t* name : {L"NT AUTHORITY\\LocalService", L"NT AUTHORITY\\NetworkService",
                                L"LocalSystem", L"NT AUTHORITY\\SYSTEM", L".\\LocalSystem"}) {
        if (CompareStringOrdinal(account.c_str(), -1, name, -1, TRUE) == CSTR_EQUAL) {
            return true;
        }
    }
    return startsWithIgnoringCase(account, L"NT SERVICE\\");
}

void allowServiceLogon(const std::wstring& account) {
    std::vector<BYTE> sid = accountSid(account);
    LSA_OBJECT_ATTRIBUTES attributes{};
    LSA_HANDLE policy = nullptr;
    NTSTATUS status =
        LsaOpenPolicy(nullptr, &attributes, POLICY_CREATE_ACCOUNT | POLICY_LOOKUP_NAMES, &policy);
    if (status == 0) {
        wchar_t right[] = L"SeServiceLogonRight";
        LSA_UNICODE_STRING name{static_cast<USHORT>(wcslen(right) * sizeof(wchar_t)),
                                static_cast<USHORT>(sizeof right), right};
        status = LsaAddAccountRights(policy, sid.data(), &name, 1);
        LsaClose(policy);
    }
    if (status != 0) {
        fail("Letting " + config::narrow(account, CP_ACP) + " log on as a service",
             LsaNtStatusToWinError(status));
    }
}

void prepareServiceFolders(const std::vector<fs::path>& writable, const fs::path& programFolder) {
    for (const fs::path& folder : writable) {
        // One level at a time, each checked before the next is made in it: nothing is made
        // where a link leads.
        fs::path level = folder.root_path();
        for (const fs::path& part : folder.relative_path()) {
            if (part.empty()) {
                continue;
            }
            level /= part;
            if (!CreateDirectoryW(level.c_str(), nullptr) &&
                GetLastError() != ERROR_ALREADY_EXISTS) {
                fail("Making " + messagePath(level), GetLastError());
            }
            CloseHandle(openFolderItself(level, FILE_READ_ATTRIBUTES));
        }
        CloseHandle(openFolderItself(folder));
    }
    CloseHandle(openFolderItself(programFolder));
}

void grantServiceAccess(const std::string& account, const std::vector<fs::path>& writable,
                        const fs::path& programFolder) {
    const std::vector<BYTE> sid = accountSid(config::widen(account, CP_ACP));
    for (const fs::path& folder : writable) {
        setAccess(folder, sid, kChange);
    }
    setAccess(programFolder, sid, kReadAndRun);
}

}  // namespace veltrona::ctl
