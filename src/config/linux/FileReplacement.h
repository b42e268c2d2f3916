#pragma once

#include "config/linux/FileTarget.h"

namespace veltrona::config::detail {

// While the lock is held no writer is at work, so a new file of a writer beside the
// target is one that a writer killed half-way left behind: removes those beside the file
// that `at` names. Copies of the previous content stay: one of them may be the only
// whole one.
void removeAbandonedFiles(const Location& at);

}  // namespace veltrona::config::detail
