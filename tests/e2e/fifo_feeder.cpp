// Feeds raw audio (s16le, stereo, 44 100 frames/s) into the test audio server's FIFO at the pace
// of the wall clock, 441 frames every 10 ms, starting over at the end of the file, until it is
// killed. It never blocks in a write, so SIGTERM ends it at once.
//
//   fifo_feeder FIFO SIGNAL.raw

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

namespace {

constexpr std::size_t kFrameBytes = 4;
constexpr std::size_t kPieceBytes = 441 * kFrameBytes;

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: fifo_feeder FIFO SIGNAL.raw\n");
        return 2;
    }
    std::ifstream in(argv[2], std::ios::binary);
    const std::vector<char> signal((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
    if (signal.size() < kPieceBytes || signal.size() % kFrameBytes != 0) {
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
    auto next = Clock::now();
    std::size_t at = 0;
    for (;;) {
        std::size_t left = kPieceBytes;
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
        next += std::chrono::milliseconds(10);
        if (Clock::now() - next > std::chrono::milliseconds(50)) next = Clock::now();
        std::this_thread::sleep_until(next);
    }
}
