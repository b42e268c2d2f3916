// Whole-file reads on Linux, along the same descriptor walk that the replacement and the
// writers' lock take (FileTarget.cpp, FileReplacement.cpp, FileLock.cpp).
#include <fcntl.h>

#include "config/file/linux/FileTarget.h"

namespace veltrona::config {

using namespace detail;

namespace fs = std::filesystem;

FileReadResult readWholeFile(const fs::path& path, std::uintmax_t limit) {
    FileReadResult result;
    const auto failed = [&result](const PathFailure& failure) {
        result.status = FileReadResult::Status::Failed;
        result.reason = failure.text();
        return result;
    };
    Location at;
    try {
        at = locate(path);
    } catch (const PathFailure& failure) {
        if (failure.error == ENOENT || failure.error == ENOTDIR) {
            return result;  // a folder on the way is missing, or is a file
        }
        return failed(failure);
    }
    if (!at.exists) {
        return result;
    }
    if (!S_ISREG(at.st.st_mode)) {
        return failed(notAFile(at));
    }
    // O_NONBLOCK: should a FIFO have taken the file's place since, opening it must not hang.
    const Descriptor file(::openat(at.folder.get(), at.name.c_str(),
                                   O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (!file.valid() || ::fstat(file.get(), &st) != 0) {
        return failed(PathFailure(errno));
    }
    if (!S_ISREG(st.st_mode)) {
        at.st = st;
        return failed(notAFile(at));
    }
    // The size is checked before anything is read, and the read stops past the limit too:
    // a file may grow meanwhile, and some report no size at all.
    std::string content;
    const int error = static_cast<std::uintmax_t>(st.st_size) > limit
                          ? EFBIG
                          : readAll(file.get(), content, limit);
    if (error == EFBIG) {
        result.status = FileReadResult::Status::TooBig;
        return result;
    }
    if (error != 0) {
        return failed(PathFailure(error));
    }
    result.status = FileReadResult::Status::Ok;
    result.content = std::move(content);
    return result;
}

}  // namespace veltrona::config
