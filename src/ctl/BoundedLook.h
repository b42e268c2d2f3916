#pragma once

#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace veltrona::ctl {

// Whether a look that was left behind at its deadline is still running. Its thread may be
// held in the kernel for good (a file system whose server does not answer), so the
// process then ends with _Exit once its answer is out, rather than meet that thread in the
// destructors at exit.
bool looksStillRunning();

namespace detail {
void lookStarted();
void lookEnded();
}  // namespace detail

// A look at the file system that may never come back: it runs on a thread of its own,
// and its caller waits for the answer only until a deadline. The look must own all it
// uses (capture by value), as it may outlive its caller.
template <typename T>
class BoundedLook {
  public:
    template <typename Look>
    explicit BoundedLook(Look look) : state_(std::make_shared<State>()) {
        detail::lookStarted();
        try {
            std::thread([state = state_, look = std::move(look)]() mutable {
                {
                    // Moved in here, so that all the look holds is gone before it counts
                    // as ended.
                    const std::shared_ptr<State> owner = std::move(state);
                    Look owned = std::move(look);
                    std::optional<T> value;
                    std::exception_ptr error;
                    try {
                        value.emplace(owned());
                    } catch (...) {
                        error = std::current_exception();
                    }
                    {
                        const std::lock_guard lock(owner->mutex);
                        owner->value = std::move(value);
                        owner->error = error;
                        owner->done = true;
                    }
                    owner->answered.notify_all();
                }
                detail::lookEnded();
            }).detach();
        } catch (...) {
            detail::lookEnded();
            throw;
        }
    }

    // The look's answer if it came by `until`, else none; rethrows what the look threw.
    std::optional<T> answer(std::chrono::steady_clock::time_point until) const {
        std::unique_lock lock(state_->mutex);
        if (!state_->answered.wait_until(lock, until, [this] { return state_->done; })) {
            return std::nullopt;
        }
        if (state_->error) {
            std::rethrow_exception(state_->error);
        }
        return state_->value;
    }

  private:
    struct State {
        std::mutex mutex;
        std::condition_variable answered;
        bool done = false;
        std::optional<T> value;
        std::exception_ptr error;
    };
    std::shared_ptr<State> state_;
};

}  // namespace veltrona::ctl
