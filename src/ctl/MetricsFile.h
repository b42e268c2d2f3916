#pragma once

#include <filesystem>
#include <string>

namespace veltrona::ctl {

// Writes the check's metrics file `file` (its path in the system code page) with `text`,
// so that a reader (the textfile collector reads only "*.prom") never sees half a file
// and no one can steer the write elsewhere, whoever runs the check:
// - Only a regular file is replaced. Anything else at `file` (a symbolic link, a folder,
//   a device, a FIFO, a socket) is refused and left exactly as it was, and so is a file
//   that belongs to another user than the writer or the administrator.
// - The folders on the way are judged as the settings files' are: a link or folder that
//   another user than the writer or the administrator owns is not followed.
// - The new file is made beside the old one under a name no one can guess, by this writer
//   alone, readable by everyone and writable by its owner only (0644, whatever the file
//   mask), and renamed over it.
// Throws std::runtime_error "cannot write <file>: <reason>" (system code page).
void writeMetricsFile(const std::filesystem::path& file, const std::string& text);

}  // namespace veltrona::ctl
