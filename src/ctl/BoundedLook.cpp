#include "BoundedLook.h"

#include <atomic>

namespace veltrona::ctl {

namespace {

std::atomic<int> running{0};

}  // namespace

bool looksStillRunning() {
    return running.load() > 0;
}

namespace detail {

void lookStarted() {
    ++running;
}

void lookEnded() {
    --running;
}

}  // namespace detail

}  // namespace veltrona::ctl
