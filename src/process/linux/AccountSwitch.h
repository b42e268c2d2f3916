// Switching a process of root's to another account, for the server's launch on Linux.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace veltrona::process {

// A local account as a process takes it on: its ids, its groups and its home.
struct AccountIds {
    std::string name;
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;  // its supplementary groups, its own group among them
    std::string home;
};

// Looks `name` up in the system's account database. Throws LaunchError when there is no
// such account, or when it is root's (a switch to it would keep every privilege).
AccountIds lookUpAccount(const std::string& name);

// The environment of a program started as `account`: this process's, with HOME, USER and
// LOGNAME the account's. Built before a fork, since the child may not allocate.
std::vector<std::string> accountEnvironment(const AccountIds& account);

// What may stay of root's capabilities after the switch.
enum class KeptCapability { None, BindService };

// Makes this process `account` for good (supplementary groups, group, user; real,
// effective and saved), with no capability left but, with BindService, CAP_NET_BIND_SERVICE
// as its permitted, effective, inheritable and ambient capability, so that a program it
// executes may bind ports below 1024 and nothing more of root's. The bounding set keeps no
// other capability either, and no program it executes gains privileges (no_new_privs).
// Async-signal-safe, for the child between fork and exec. Returns 0, or the errno of the
// call that failed, whose name `step` then points at.
int becomeAccount(const AccountIds& account, KeptCapability kept, const char** step);

// Drops every capability this process has (permitted, effective, inheritable, ambient),
// keeping its ids. Returns 0 or errno, `step` as above.
int dropCapabilities(const char** step);

}  // namespace veltrona::process
