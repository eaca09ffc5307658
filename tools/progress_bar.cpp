#include "tools/progress_bar.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace sonocap {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr int kBarWidth = 30;
// The text around the bar: label, percent, rate and time left.
constexpr int kTextWidth = 40;

// The columns of the terminal on standard error; 80 when it does not say.
int TerminalColumns() {
    struct winsize size {};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

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
    // The bar shrinks to fit a narrow terminal, and goes where even the text does not fit.
    const int width =
        std::min(kBarWidth, TerminalColumns() - kTextWidth - static_cast<int>(label_.size()) - 1);
    const int barWidth = std::max(width, 0);
    const int filled = static_cast<int>(fraction * barWidth);
    std::string bar(static_cast<size_t>(filled), '#');
    bar.resize(static_cast<size_t>(barWidth), '.');
    const double bytesPerSecond = seconds > 0 ? static_cast<double>(doneBytes) / seconds : 0.0;
    const double left =
        bytesPerSecond > 0 ? static_cast<double>(totalBytes_ - doneBytes) / bytesPerSecond : 0.0;
    const auto leftSeconds = static_cast<long long>(left + 0.5);
    char line[256];
    std::snprintf(line, sizeof line, "%s%s%s%s %3d%% %7.1f MB/s %lld:%02lld left ", label_.c_str(),
                  barWidth > 0 ? " [" : "", bar.c_str(), barWidth > 0 ? "]" : "",
                  static_cast<int>(fraction * 100), bytesPerSecond / 1e6, leftSeconds / 60,
                  leftSeconds % 60);
    // Never wider than the terminal, which would wrap it onto a new line at every redraw.
    std::string text = line;
    text.resize(std::min(text.size(), static_cast<size_t>(std::max(TerminalColumns() - 1, 1))));
    std::fprintf(stderr, "\r%s", text.c_str());
    std::fflush(stderr);
}

void ProgressBar::Finish() {
    if (!active_) return;
    active_ = false;
    // Wipe the line so that what follows starts on a clean one.
    std::fprintf(stderr, "\r%*s\r", TerminalColumns() - 1, "");
    std::fflush(stderr);
}

}  // namespace sonocap
