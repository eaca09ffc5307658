#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// A one-line progress bar on standard error (percent, MB/s, time left), drawn only when standard
// error is a terminal, so that logs and pipes get no control characters.

namespace sonocap {

class ProgressBar {
  public:
    // `totalBytes` of input are to be processed; `label` starts the line ("encode").
    ProgressBar(const char* label, uint64_t totalBytes);
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;
    ~ProgressBar() { Finish(); }

    // Input bytes processed so far; redraws at most a few times a second.
    void Update(uint64_t doneBytes);
    // Clears the line.
    void Finish();

  private:
    void Draw(uint64_t doneBytes, double seconds);

    std::string label_;
    uint64_t totalBytes_;
    bool active_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDraw_;
};

}  // namespace sonocap
