#pragma once

#include <mutex>

namespace ostrum::app {

// A value that a worker thread publishes and the window's thread takes, under one lock: everything the
// worker wrote before it published is visible to the thread that takes the value.
template <class T>
class Published {
  public:
    void set(const T& value) {
        std::lock_guard lock(mutex_);
        value_ = value;
    }
    T take() const {
        std::lock_guard lock(mutex_);
        return value_;
    }

  private:
    mutable std::mutex mutex_;
    T value_{};
};

}  // namespace ostrum::app
