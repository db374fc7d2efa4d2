// SPDX-License-Identifier: GPL-3.0-or-later
#include "terminal_progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace ostrum::cli {

TerminalProgress::TerminalProgress() : enabled_(::isatty(STDERR_FILENO) == 1) {}

TerminalProgress::~TerminalProgress() {
    Finish();
}

void TerminalProgress::SetLabel(std::string_view label) {
    label_.assign(label);
    Draw();
}

void TerminalProgress::SetPercent(int percent) {
    percent = std::clamp(percent, 0, 100);
    if (percent == percent_ && drawn_) return;
    percent_ = percent;
    Draw();
}

void TerminalProgress::SetDetail(std::string_view detail) {
    detail_.assign(detail);
    Draw();
}

void TerminalProgress::Draw() {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    constexpr int kWidth = 30;
    const int filled = percent_ * kWidth / 100;
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kWidth - filled), '.');
    std::fprintf(stderr, "\r\033[K%s [%s] %3d%% %s", label_.c_str(), bar.c_str(), percent_, detail_.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void TerminalProgress::Finish() {
    if (!enabled_ || !drawn_) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    drawn_ = false;
}

void ScanProgressSink::StatusLine(std::string_view text) {
    status_.assign(text);
    filesFound_.reset();
    // The bar is redrawn with the other updates.
}

std::string ScanProgressSink::status() const {
    if (filesFound_) return std::string(catalog::FilesFoundText(*filesFound_).view());
    return status_;
}

void ScanProgressSink::PositionLine(std::string_view text) {
    if (!progress_.shown()) return;
    progress_.SetDetail(std::string(text) + "  " + status());
}

void ScanProgressSink::Progress(int percent) {
    progress_.SetPercent(percent);
}

}  // namespace ostrum::cli
