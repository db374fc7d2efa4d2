// SPDX-License-Identifier: GPL-3.0-or-later
// ostrum-mkmedia's command line, callable in-process (the golden-case tests run it this way).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace ostrum::mtfwriter {

inline constexpr int kExitOk = 0;
// The command could not be carried out (I/O, bad input media or folder).
inline constexpr int kExitFailure = 1;
// The command line was wrong.
inline constexpr int kExitUsage = 2;

// Runs one command; `args` excludes the program name. Results go to `out`, usage text and errors to `err`.
int RunMkmedia(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace ostrum::mtfwriter
