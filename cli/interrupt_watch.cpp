#include "interrupt_watch.h"

#include <pthread.h>

#include <ctime>

namespace ostrum::cli {

InterruptWatch::InterruptWatch(std::function<void()> onInterrupt) : onInterrupt_(std::move(onInterrupt)) {
    sigemptyset(&signals_);
    sigaddset(&signals_, SIGINT);
    sigaddset(&signals_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals_, &previous_);
    const timespec now{0, 0};
    if (sigtimedwait(&signals_, nullptr, &now) > 0) Interrupted();
    watcher_ = std::jthread([this](std::stop_token stop) {
        const timespec tick{0, 100'000'000};
        while (!stop.stop_requested()) {
            if (sigtimedwait(&signals_, nullptr, &tick) > 0) Interrupted();
        }
    });
}

InterruptWatch::~InterruptWatch() {
    watcher_.request_stop();
    watcher_.join();
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

void InterruptWatch::Interrupted() {
    if (!interrupted_.exchange(true) && onInterrupt_) onInterrupt_();
}

}  // namespace ostrum::cli
