#pragma once

#include <string_view>

#include "config/file/linux/FileTarget.h"

namespace veltrona::config::detail {

// Puts a new file with `bytes` in the place of the entry that `at` names, whatever that
// entry is (the rename replaces it and never writes through it): the file is written
// beside it under a name no one can guess, created by this writer alone (O_EXCL,
// O_NOFOLLOW), given `mode` whatever the file mask, flushed and renamed over the entry.
// Throws PathFailure.
void renameNewFile(const Location& at, std::string_view bytes, mode_t mode);

// While the lock is held no writer is at work, so a new file of a writer beside the
// target is one that a writer killed half-way left behind: removes those beside the file
// that `at` names. Copies of the previous content stay: one of them may be the only
// whole one.
void removeAbandonedFiles(const Location& at);

}  // namespace veltrona::config::detail
