#include "tools/progress_bar.h"

#include <unistd.h>

#include <cstdio>

namespace sonocap {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr int kBarWidth = 30;

}  // namespace

ProgressBar::ProgressBar(const char* label, uint64_t totalBytes)
    : label_(label),
      totalBytes_(totalBytes),
      active_(isatty(STDERR_FILENO) == 1),
      start_(std::chrono::steady_clock::now()),
      lastDraw_(start_ - kRedrawInterval) {}  // the first update draws at once

void ProgressBar::Update(uint64_t doneBytes) {
    if (!active_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastDraw_ < kRedrawInterval) return;
    lastDraw_ = now;
    Draw(doneBytes, std::chrono::duration<double>(now - start_).count());
}

void ProgressBar::Draw(uint64_t doneBytes, double seconds) {
    const double fraction =
        totalBytes_ == 0 ? 1.0 : static_cast<double>(doneBytes) / static_cast<double>(totalBytes_);
    const int filled = static_cast<int>(fraction * kBarWidth);
    std::string bar(static_cast<size_t>(filled), '#');
    bar.resize(kBarWidth, '.');
    const double bytesPerSecond = seconds > 0 ? static_cast<double>(doneBytes) / seconds : 0.0;
    const double left =
        bytesPerSecond > 0 ? static_cast<double>(totalBytes_ - doneBytes) / bytesPerSecond : 0.0;
    const auto leftSeconds = static_cast<long long>(left + 0.5);
    std::fprintf(stderr, "\r%s [%s] %3d%% %7.1f MB/s %lld:%02lld left ", label_.c_str(),
                 bar.c_str(), static_cast<int>(fraction * 100), bytesPerSecond / 1e6,
                 leftSeconds / 60, leftSeconds % 60);
    std::fflush(stderr);
}

void ProgressBar::Finish() {
    if (!active_) return;
    active_ = false;
    // Wipe the line so that what follows starts on a clean one.
    std::fprintf(stderr, "\r%*s\r", static_cast<int>(label_.size()) + kBarWidth + 40, "");
    std::fflush(stderr);
}

}  // namespace sonocap
