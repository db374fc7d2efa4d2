// SPDX-License-Identifier: GPL-3.0-or-later
#include "interrupt_watch.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>

namespace ostrum::cli {

InterruptWatch::InterruptWatch(std::function<void()> onInterrupt) : onInterrupt_(std::move(onInterrupt)) {
    sigemptyset(&signals_);
    sigaddset(&signals_, SIGINT);
    sigaddset(&signals_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals_, &previous_);
    const timespec now{0, 0};
    if (sigtimedwait(&signals_, nullptr, &now) > 0) Interrupted();
    signalFd_ = common::UniqueFd(::signalfd(-1, &signals_, SFD_CLOEXEC | SFD_NONBLOCK));
    wakeFd_ = common::UniqueFd(::eventfd(0, EFD_CLOEXEC));
    if (signalFd_.valid() && wakeFd_.valid()) {
        watcher_ = std::thread([this] { WaitForSignals(); });
    } else {
        // Without those descriptors (none left to open): signals are looked for ten times a second.
        watcher_ = std::thread([this] {
            const timespec tick{0, 100'000'000};
            while (!stopping_.load()) {
                if (sigtimedwait(&signals_, nullptr, &tick) > 0) Interrupted();
            }
        });
    }
}

InterruptWatch::~InterruptWatch() {
    stopping_.store(true);
    if (wakeFd_.valid()) {
        const std::uint64_t one = 1;
        while (::write(wakeFd_.get(), &one, sizeof one) < 0 && errno == EINTR) {
        }
    }
    watcher_.join();
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

// Sleeps until a signal comes or the watch ends: the command's end is not held up waiting for a tick.
void InterruptWatch::WaitForSignals() {
    pollfd watched[2] = {{signalFd_.get(), POLLIN, 0}, {wakeFd_.get(), POLLIN, 0}};
    for (;;) {
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if ((watched[0].revents & POLLIN) != 0) {
            signalfd_siginfo info{};
            while (::read(signalFd_.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info))
                Interrupted();
        }
        if (watched[1].revents != 0) return;
    }
}

void InterruptWatch::Interrupted() {
    if (!interrupted_.exchange(true) && onInterrupt_) onInterrupt_();
}

}  // namespace ostrum::cli
