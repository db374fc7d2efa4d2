#pragma once
// The descriptor holder now lives with the core's POSIX helpers; this name stays for the code that still
// includes it from here.

#include "common/unique_fd.h"

namespace ostrum::tape {
using common::UniqueFd;
}  // namespace ostrum::tape
