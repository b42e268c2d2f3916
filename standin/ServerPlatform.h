#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "dcmtk/config/osconfig.h"  // DCMTK wants its configuration before anything of its own
#include "dcmtk/dcmnet/dcmlayer.h"
#include "dcmtk/ofstd/ofstring.h"

// What the storage server needs of the operating system: its process, new files that no
// one else can steer, and bounded waits on its sockets. One implementation per system.
namespace veltrona::standin::platform {

// Settings of the process the server relies on, made first: a peer that vanishes while it
// is being answered must not end the server.
void prepareProcess();

// Keeps termination requests from ending the process by themselves; call it before any
// thread starts. Then `endOnTermination` takes them: it runs `beforeEnd`, which returns
// once no received object is being committed, and ends the process as the request asked.
// A request that cannot be taken (TerminateProcess, SIGKILL) still ends it at once.
void holdTermination();
[[noreturn]] void endOnTermination(const std::function<void()>& beforeEnd);

// What a server that cannot listen does: it stays a running process and answers nothing.
[[noreturn]] void waitForTermination();

std::uint64_t processId();
// False only when no process with that id runs.
bool processRuns(std::uint64_t id);
// 64 bits nobody can predict.
std::uint64_t randomBits();

// Opens a new file for writing: never one that exists, never through a link, readable by
// this account alone where the system lets the creator choose. -1 with `exists` set when
// something has that name already, -1 alone on any other failure.
int createNewFile(const std::filesystem::path& path, bool& exists);
// A name under which DCMTK, which takes names only, opens the open file again: on Linux
// its descriptor's entry in /proc, which leads to this file whatever took its name since;
// on Windows its path, which no one can rename or delete while the file is open here.
// For no file (-1), the null device, which takes anything and keeps nothing.
OFString reopenableName(int file, const std::filesystem::path& path);
bool flushToDisk(int file);
void closeFile(int file);

// True when the socket has data (or its end) within `milliseconds`; false when it had none.
// Failures of the wait count as data: the read that follows reports them.
bool readableWithin(DcmNativeSocketType socket, long long milliseconds);
// Sends on the socket give up after `seconds` without room.
void limitSendTime(DcmNativeSocketType socket, int seconds);
// Marks the last network failure as a timeout, where DCMTK looks for the reason.
void markTimedOut();

}  // namespace veltrona::standin::platform
