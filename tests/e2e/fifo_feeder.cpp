// Feeds raw audio (s16le, stereo, 44 100 frames/s) into the test audio server's FIFO at the pace
// of the wall clock, in pieces of FRAMES frames (441: one every 10 ms), starting over at the
// end of the file, until it is killed. The server hands every piece on to its clients as it
// comes, so the piece size sets how often a recording client is woken. It never blocks in a
// write, so SIGTERM ends it at once. A feeder held up by the machine for longer than 50 ms
// does not catch up: it says on standard error how much audio the wall clock went past,
// "fifo_feeder: held up, N frames not fed", so that a long test can tell its own lost time
// from the recorder's.
//
//   fifo_feeder FIFO SIGNAL.raw [FRAMES=441]

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

namespace {

constexpr std::size_t kFrameBytes = 4;
constexpr long kFramesPerSecond = 44100;
// A larger piece is no longer written to the FIFO in one step.
constexpr long kMostFramesPerPiece = 4096 / kFrameBytes;

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: fifo_feeder FIFO SIGNAL.raw [FRAMES=441]\n");
        return 2;
    }
    const long pieceFrames = argc == 4 ? std::strtol(argv[3], nullptr, 10) : 441;
    if (pieceFrames < 1 || pieceFrames > kMostFramesPerPiece) {
        std::fprintf(stderr, "fifo_feeder: FRAMES must be 1 to %ld\n", kMostFramesPerPiece);
        return 2;
    }
    const std::size_t pieceBytes = static_cast<std::size_t>(pieceFrames) * kFrameBytes;
    std::ifstream in(argv[2], std::ios::binary);
    const std::vector<char> signal((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
    if (signal.size() < pieceBytes || signal.size() % kFrameBytes != 0) {
        std::fprintf(stderr, "fifo_feeder: %s is not whole stereo frames\n", argv[2]);
        return 1;
    }
    // Non-blocking: a full FIFO makes the write fail instead of holding the process in it.
    const int fd = open(argv[1], O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        std::perror("fifo_feeder: open");
        return 1;
    }
    using Clock = std::chrono::steady_clock;
    // The time of piece n is counted from the start, so no rounding adds up.
    auto start = Clock::now();
    long piece = 0;
    std::size_t at = 0;
    for (;;) {
        std::size_t left = pieceBytes;
        while (left > 0) {
            const std::size_t run = std::min(left, signal.size() - at);
            const ssize_t n = write(fd, signal.data() + at, run);
            if (n > 0) {
                at = (at + static_cast<std::size_t>(n)) % signal.size();
                left -= static_cast<std::size_t>(n);
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                std::perror("fifo_feeder: write");
                return 1;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        ++piece;
        auto next =
            start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                        static_cast<double>(piece * pieceFrames) / kFramesPerSecond));
        // A writer held up for long starts its pace again instead of catching up in a burst.
        if (const auto late = Clock::now() - next; late > std::chrono::milliseconds(50)) {
            const auto frames =
                std::chrono::duration_cast<std::chrono::microseconds>(late).count() *
                kFramesPerSecond / 1000000;
            std::fprintf(stderr, "fifo_feeder: held up, %lld frames not fed\n",
                         static_cast<long long>(frames));
            start = Clock::now();
            piece = 0;
            next = start;
        }
        std::this_thread::sleep_until(next);
    }
}
