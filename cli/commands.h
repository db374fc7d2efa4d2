#pragma once
// The commands of ostrum-tape-cli. Each takes the words after its name and returns the exit status.

#include <span>
#include <string>
#include <string_view>

namespace ostrum::cli {

using Args = std::span<const std::string>;

struct Command {
    std::string_view name;
    std::string_view usage;    // the words after the command name
    std::string_view summary;  // one line
    int (*run)(Args args);
};

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the work failed (unreadable source, files not saved whole, ...)
inline constexpr int kExitUsage = 2;    // the command line was wrong

int RunList(Args args);
int RunExtract(Args args);

// Prints "ostrum-tape-cli: <message>" on standard error.
void PrintError(std::string_view message);

}  // namespace ostrum::cli
