#pragma once

#include <cstdint>
#include <string>
#include <thread>

namespace sonocap::platform {

// While it lives, what PortAudio's ALSA code prints on standard error by itself (its
// "Expression '...' failed in 'src/hostapi/alsa/pa_linux_alsa.c'" traces, ALSA's own messages)
// reaches the log as one line per burst: "sonocap: the audio system reported: <first line>
// (and N more lines)". PortAudio offers no hook for these, so standard error itself is passed
// through a pipe; every other line goes on unchanged and at once.
class AlsaOutputFilter {
  public:
    AlsaOutputFilter();
    // Puts standard error back and passes on whatever is still waiting.
    ~AlsaOutputFilter();
    AlsaOutputFilter(const AlsaOutputFilter&) = delete;
    AlsaOutputFilter& operator=(const AlsaOutputFilter&) = delete;

    // Whether `line` is the audio libraries' own output.
    static bool IsAudioLibraryLine(const std::string& line);

  private:
    void Run();

    int original_ = -1;  // the real standard error
    int readEnd_ = -1;
    int stop_ = -1;  // an eventfd: the filter is ending
    std::thread thread_;
};

}  // namespace sonocap::platform
