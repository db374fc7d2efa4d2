// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every benchmark needs beside its subject: the clock, the best or median of rounds, the process's own
// memory figures, and the plain file copy that saving and imaging are measured against.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace ostrum::bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}
inline double Milliseconds(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The shortest of the times taken: the run least disturbed by the rest of a shared machine.
struct BestTime {
    double best = 1e30;
    void Take(double seconds) { best = std::min(best, seconds); }
};

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A field of /proc/self/status in KiB ("VmRSS:" now, "VmHWM:" the peak), or -1.
inline long StatusKilobytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(field.size()));
    }
    return -1;
}

inline long ResidentKiB() {
    return StatusKilobytes("VmRSS:");
}

// Forgets the process's peak memory so far, so that the next peak ("VmHWM:") is what follows.
inline void ResetPeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// The baseline of saving and imaging: reads and writes of `bufferBytes`, then an fsync, as the program's own
// copies report a file only once its data have reached the disk. The bytes copied, or nothing when a call
// failed.
inline std::optional<std::uint64_t> PlainCopy(const std::filesystem::path& from,
                                              const std::filesystem::path& to, std::size_t bufferBytes) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    std::vector<char> buffer(bufferBytes);
    bool ok = in >= 0 && out >= 0;
    std::uint64_t total = 0;
    ssize_t got = 0;
    while (ok && (got = ::read(in, buffer.data(), buffer.size())) > 0) {
        ok = ::write(out, buffer.data(), static_cast<std::size_t>(got)) == got;
        total += static_cast<std::uint64_t>(got);
    }
    ok = ok && got == 0;  // a failed read ends the loop too
    if (in >= 0) ::close(in);
    if (out >= 0) ok = ::fsync(out) == 0 && ::close(out) == 0 && ok;
    return ok ? std::optional(total) : std::nullopt;
}

}  // namespace ostrum::bench
