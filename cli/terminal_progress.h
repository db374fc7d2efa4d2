// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A progress bar on standard error, drawn only when standard error is a terminal.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "catalog/catalog.h"

namespace ostrum::cli {

class TerminalProgress {
  public:
    TerminalProgress();
    ~TerminalProgress();
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    void SetLabel(std::string_view label);
    void SetPercent(int percent);
    void SetDetail(std::string_view detail);
    // Clears the bar's line (before normal output follows).
    void Finish();
    // True when the bar is drawn at all (standard error is a terminal).
    bool shown() const { return enabled_; }

  private:
    // Redraws at most ten times a second; a scan reports after every 64 KiB.
    void Draw();

    bool enabled_;
    std::chrono::steady_clock::time_point lastDraw_{};
    bool drawn_ = false;
    int percent_ = 0;
    std::string label_;
    std::string detail_;
};

// A catalog sink that keeps the scan's last status and drives a terminal progress bar. The status of the
// files found is kept as their count, and its text formed only when it is read.
class ScanProgressSink : public catalog::CatalogSink {
  public:
    explicit ScanProgressSink(TerminalProgress& progress) : progress_(progress) {}
    void StatusLine(std::string_view text) override;
    void FilesFound(std::uint64_t count) override { filesFound_ = count; }
    void PositionLine(std::string_view text) override;
    void Progress(int percent) override;
    // The last status text.
    std::string status() const;

  private:
    TerminalProgress& progress_;
    std::string status_;
    std::optional<std::uint64_t> filesFound_;  // the last status was the count of files found
};

}  // namespace ostrum::cli
