#pragma once

#include <fcntl.h>
#include <linux/fuse.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace veltrona::testing {

// A FUSE file system whose daemon has stopped (SIGSTOP) right after the kernel and it
// agreed on the protocol: whatever looks at it (stat, statfs, open) waits in the kernel
// until the daemon ends with this object, which fails those looks and unmounts it. Needs
// root and /dev/fuse; `problem()` says why there is none. The mount point is a folder, or
// with `file` a regular file that the mount covers.
class HungFileSystem {
  public:
    explicit HungFileSystem(const std::filesystem::path& at, bool file = false) : at_(at) {
        const int fd = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            problem_ = std::string("cannot open /dev/fuse: ") + std::strerror(errno);
            return;
        }
        const std::string options = "fd=" + std::to_string(fd) +
                                    (file ? ",rootmode=100644" : ",rootmode=40755") +
                                    ",user_id=0,group_id=0,allow_other";
        if (::mount("veltrona-hung", at.c_str(), "fuse.veltrona-hung", MS_NOSUID | MS_NODEV,
                    options.c_str()) != 0) {
            problem_ = std::string("cannot mount a FUSE file system: ") + std::strerror(errno);
            ::close(fd);
            return;
        }
        daemon_ = ::fork();
        if (daemon_ == 0) {
            answerInitAndStop(fd);
        }
        ::close(fd);  // the daemon holds the connection alone: it ends with it
        int status = 0;
        if (daemon_ < 0 || ::waitpid(daemon_, &status, WUNTRACED) != daemon_ ||
            !WIFSTOPPED(status)) {
            problem_ = "the FUSE daemon did not start";
        }
    }
    HungFileSystem(const HungFileSystem&) = delete;
    HungFileSystem& operator=(const HungFileSystem&) = delete;
    ~HungFileSystem() {
        if (daemon_ > 0) {
            ::kill(daemon_, SIGKILL);
            ::waitpid(daemon_, nullptr, 0);
        }
        ::umount2(at_.c_str(), MNT_DETACH);
    }

    const std::string& problem() const { return problem_; }

  private:
    // In the daemon: answers the kernel's first request, then stops for good.
    [[noreturn]] static void answerInitAndStop(int fd) {
        std::vector<char> request(FUSE_MIN_READ_BUFFER + 4096);
        if (::read(fd, request.data(), request.size()) <
            static_cast<ssize_t>(sizeof(fuse_in_header) + sizeof(fuse_init_in))) {
            ::_exit(1);
        }
        fuse_in_header header;
        std::memcpy(&header, request.data(), sizeof header);
        struct {
            fuse_out_header header;
            fuse_init_out init;
        } reply{};
        reply.header.len = sizeof reply;
        reply.header.unique = header.unique;
        reply.init.major = FUSE_KERNEL_VERSION;
        reply.init.minor = FUSE_KERNEL_MINOR_VERSION;
        reply.init.max_write = 4096;
        reply.init.time_gran = 1;
        if (header.opcode != FUSE_INIT || ::write(fd, &reply, sizeof reply) != sizeof reply) {
            ::_exit(1);
        }
        ::raise(SIGSTOP);
        ::pause();
        ::_exit(0);
    }

    std::filesystem::path at_;
    pid_t daemon_ = -1;
    std::string problem_;
};

}  // namespace veltrona::testing
