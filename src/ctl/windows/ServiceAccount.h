// The accounts a Windows service may run under (Windows only).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace veltrona::ctl {

// The SID of the virtual account "NT SERVICE\<service>", as Windows derives it from the
// service's name ("S-1-5-80-..."); it is the same before the service exists and under Wine,
// which knows no such accounts by name.
std::wstring virtualAccountSid(std::wstring_view service);

// The SID of an account by name ("NT SERVICE\ZarvoServer", "NT AUTHORITY\LocalService",
// ".\zarvo", "DOMAIN\user"). Throws std::runtime_error naming it when it is unknown.
std::vector<BYTE> accountSid(const std::wstring& account);

// LocalService, NetworkService, LocalSystem and the virtual accounts: those that need no
// password and no right to log on as a service.
bool isBuiltInServiceAccount(const std::wstring& account);

// Grants an account of its own the right to log on as a service.
void allowServiceLogon(const std::wstring& account);

}  // namespace veltrona::ctl
