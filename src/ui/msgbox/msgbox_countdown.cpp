// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/msgbox/msgbox_countdown.h"

namespace ostrum::ui {

MessageCountdown::MessageCountdown(const MessageBoxParams& params, std::function<void()> onTick)
    : autoCloseSeconds_(params.autoCloseSeconds),
      disableSeconds_(params.disableSeconds),
      captionCountdown_(params.captionCountdown) {
    seconds_ = disableSeconds_ > 0 ? disableSeconds_ : 0;
    if (autoCloseSeconds_ > 0) {
        seconds_ = autoCloseSeconds_;
    }
    timer_.setInterval(kTickMs);
    QObject::connect(&timer_, &QTimer::timeout, std::move(onTick));
}

void MessageCountdown::start() {
    if (seconds_ != 0) {
        timer_.start();
    }
}

bool MessageCountdown::tick() {
    if (seconds_ != 0) {
        --seconds_;
    }
    if (seconds_ > 0) {
        return true;
    }
    timer_.stop();
    return false;
}

}  // namespace ostrum::ui
