// Finds a recording in the signal that was fed to the audio server: the recording must be made
// of runs of consecutive frames of the signal (which the feeder repeats without end), sample
// for sample. A pause, or frames lost when capture starts, begins a new run.
//
//   signal_match SIGNAL.raw RECORDING.raw MAX_RUNS
//
// Both files are raw s16le stereo. Prints each run (where it starts in the recording and in
// the signal, how long it is); exit status 0 when every frame of the recording lies in at
// most MAX_RUNS runs, 1 otherwise.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

namespace {

using Frame = uint32_t;  // left and right sample, as stored

std::vector<Frame> ReadFrames(const char* path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    std::vector<Frame> frames(bytes.size() / sizeof(Frame));
    if (!frames.empty()) std::memcpy(frames.data(), bytes.data(), frames.size() * sizeof(Frame));
    return frames;
}

// A stretch this long of music is found at one place of the signal only.
constexpr std::size_t kProbe = 256;

// Where in the repeating signal the frames of `recording` from `at` on begin.
std::optional<std::size_t> Locate(const std::vector<Frame>& signal,
                                  const std::vector<Frame>& recording, std::size_t at) {
    const std::size_t probe = std::min(kProbe, recording.size() - at);
    for (std::size_t k = 0; k < signal.size(); ++k) {
        if (signal[k] != recording[at]) continue;
        std::size_t i = 1;
        while (i < probe && signal[(k + i) % signal.size()] == recording[at + i]) ++i;
        if (i == probe) return k;
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: signal_match SIGNAL.raw RECORDING.raw MAX_RUNS\n");
        return 2;
    }
    const std::vector<Frame> signal = ReadFrames(argv[1]);
    const std::vector<Frame> recording = ReadFrames(argv[2]);
    const long maxRuns = std::strtol(argv[3], nullptr, 10);
    if (signal.size() < kProbe || recording.empty()) {
        std::fprintf(stderr, "signal_match: the signal or the recording is empty\n");
        return 1;
    }
    long runs = 0;
    std::size_t at = 0;
    while (at < recording.size()) {
        const std::optional<std::size_t> start = Locate(signal, recording, at);
        if (!start) {
            std::printf("frame %zu of the recording is nowhere in the signal\n", at);
            return 1;
        }
        std::size_t length = 0;
        while (at + length < recording.size() &&
               recording[at + length] == signal[(*start + length) % signal.size()]) {
            ++length;
        }
        std::printf("run %ld: recording frames %zu..%zu = signal frame %zu on (%zu frames)\n",
                    ++runs, at, at + length - 1, *start, length);
        at += length;
    }
    std::printf("%zu frames in %ld runs (at most %ld allowed)\n", recording.size(), runs, maxRuns);
    return runs <= maxRuns ? 0 : 1;
}
