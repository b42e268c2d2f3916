#pragma once

#include <sys/types.h>

#include <cstddef>

namespace veltrona::config::seam {

// Test seam of replaceFile: every write(2) into the temporary file goes through this
// pointer, so a test can make the write fail half-way (e.g. write part, then fail with
// ENOSPC). The program never changes it; a test that does restores ::write afterwards.
extern ssize_t (*replaceFileWrite)(int fd, const void* data, std::size_t size);

}  // namespace veltrona::config::seam
