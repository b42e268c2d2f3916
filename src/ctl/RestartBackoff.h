#pragma once

#include <chrono>
#include <cstdint>

namespace veltrona::ctl {

// How the service treats the ends of the server it hosts. Exit status 0 is the window's and
// VeltronaCtl's stop, which end the server from outside with exit code 0, and the status of
// a console program that Ctrl+C ended is VeltronaCtl's graceful stop: the service stops with
// either. Any other status is a crash, and the server is started again after a delay that
// begins at one second and doubles with each crash in a row up to a minute; a server that
// had run for ten minutes before it crashed counts as recovered, and the delay begins again
// at one second.
class RestartBackoff {
  public:
    static constexpr std::chrono::milliseconds kFirstDelay{1000};
    static constexpr std::chrono::milliseconds kLongestDelay{60000};
    static constexpr std::chrono::minutes kRecoveredAfter{10};

    // Whether an exit with `status` is a deliberate stop rather than a crash.
    static bool isStop(std::uint32_t status) { return status == 0 || status == kCtrlCExit; }

    // STATUS_CONTROL_C_EXIT, the exit status of the default handler of Ctrl+C.
    static constexpr std::uint32_t kCtrlCExit = 0xC000013A;

    // The wait before the next start, after a crash of a server that had run for `uptime`.
    std::chrono::milliseconds afterCrash(std::chrono::steady_clock::duration uptime);

  private:
    std::chrono::milliseconds next_ = kFirstDelay;
};

}  // namespace veltrona::ctl
