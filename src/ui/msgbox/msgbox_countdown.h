// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The message box's countdown, one tick a second: the seconds before the box closes with its default
// button (auto-close), or before its buttons can be pressed (disabled buttons), shown on the default
// button or in the caption. The box decides what a tick shows; this keeps the seconds and the timer.

#include <QTimer>
#include <functional>

#include "ui/msgbox/message_box_params.h"

namespace ostrum::ui {

class MessageCountdown {
  public:
    static constexpr int kTickMs = 1000;

    // The seconds of the record's auto-close, else of its disabled buttons; none when it asks for
    // neither. `onTick` runs at every tick of the timer.
    MessageCountdown(const MessageBoxParams& params, std::function<void()> onTick);

    // The buttons stay disabled until the count ends (the record's disableSeconds), whether or not the
    // box closes by itself as well.
    bool disablesButtons() const { return disableSeconds_ > 0; }
    // The count shows in the caption, every button disabled, rather than on the default button.
    bool inCaption() const { return disablesButtons() && captionCountdown_; }
    // The box closes with its default button when the count ends.
    bool closesBox() const { return !disablesButtons() && autoCloseSeconds_ > 0; }
    // The default button shows the count ("OK = 10"): auto-close, or disabled buttons counted on it.
    bool onDefaultButton() const {
        return autoCloseSeconds_ > 0 || (disablesButtons() && !captionCountdown_);
    }

    int secondsLeft() const { return seconds_; }
    bool running() const { return timer_.isActive(); }
    void setInterval(int ms) { timer_.setInterval(ms); }
    // Starts the timer when there are seconds to count.
    void start();
    // One second less. True while seconds are left; false when the count has ended, the timer then
    // stopped.
    bool tick();
    void stop() { timer_.stop(); }

  private:
    int autoCloseSeconds_ = 0;
    int disableSeconds_ = 0;
    bool captionCountdown_ = false;
    int seconds_ = 0;
    QTimer timer_;
};

}  // namespace ostrum::ui
