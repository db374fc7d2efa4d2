// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Failed reads in a row. The tape scan, the tape save and the image copy skip a read that fails and go
// on, but give up on the drive after a run of kMaxConsecutiveReadFailures, so that a dead drive is not
// read forever; reading ahead stops after a run of its own limit.

#include "tape/tape_device.h"

namespace ostrum::tape {

// Consecutive failed reads after which the scan, the save and the image copy give up on the drive.
inline constexpr int kMaxConsecutiveReadFailures = 8;

class FailureRun {
  public:
    // A failed read lengthens the run; any other read (data, a mark, the end of data) ends it.
    void Note(const TapeRead& read) { length_ = read.end == ReadEnd::Error ? length_ + 1 : 0; }
    int length() const { return length_; }

  private:
    int length_ = 0;
};

}  // namespace ostrum::tape
