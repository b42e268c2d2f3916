#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "CtlOutput.h"
#include "process/ProcessPlatform.h"

namespace veltrona::ctl {

// One listing of the running processes, asked what VeltronaCtl needs to know about the
// server of one program folder, so a command that asks several questions reads every
// /proc/PID/exe link only once.
//
// The server is known by where it lives: a process counts as the server only when its
// executable is the program folder's "ZarvoServer.exe" (the folder judged as the file
// system sees it, so another spelling of the same folder counts). A process of that name
// in any other folder is another program that happens to share the name: it is reported,
// but it neither blocks a start nor is ended. So is the folder's own program run by
// another user, where root starts the server as its account (see serverAccount): anyone
// may run it, and it is not the server. (The window still goes by the name alone.)
class ProcessSnapshot {
  public:
    ProcessSnapshot(process::ProcessPlatform& platform, const std::filesystem::path& programFolder);

    const std::vector<process::ProcessEntry>& entries() const { return entries_; }
    // Processes the system would not let this user look into and whose name, as far as the
    // system tells it without that look, may be the server's. Others that could not be
    // inspected (init, services) cannot hide it.
    std::size_t uninspected() const { return uninspected_; }
    // No server was found, yet some processes could not be looked into: whether the
    // server runs is not known.
    bool serverMayRunUnseen() const { return uninspected_ > 0 && !serverRunning(); }

    bool serverRunning() const { return !servers_.empty(); }
    // The server processes of the program folder, in listing order.
    const std::vector<process::ProcessEntry>& servers() const { return servers_; }
    // The processes whose executable bears the server's name but lies in another folder,
    // each with the user it runs as where the platform tells it.
    const std::vector<process::ProcessEntry>& elsewhere() const { return elsewhere_; }
    // Windows of the tool ("VeltronaAdmin", "VeltronaAdmin.exe") run from `programFolder`.
    std::vector<process::ProcessEntry> windowsOn(const std::filesystem::path& programFolder) const;
    std::optional<process::ProcessEntry> find(process::ProcessId id) const;

  private:
    std::vector<process::ProcessEntry> entries_;
    std::vector<process::ProcessEntry> servers_;
    std::vector<process::ProcessEntry> elsewhere_;
    std::size_t uninspected_ = 0;
    process::PathSyntax syntax_;
};

// "ZarvoServer.exe was not found, but 1 process that may be it could not be inspected
// (insufficient privilege)", for a snapshot whose server may run unseen.
std::string unseenServerText(std::size_t uninspected);

// "process 77 (/home/u/ZarvoServer.exe, user u): not this folder's server" for a process
// of the server's name in another folder.
std::string elsewhereText(const process::ProcessEntry& entry);
// {"id": ..., "executable": ..., "user": ...} for each of them.
std::vector<JsonObject> elsewhereJson(const std::vector<process::ProcessEntry>& entries);

}  // namespace veltrona::ctl
