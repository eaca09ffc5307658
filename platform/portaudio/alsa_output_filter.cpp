#include "platform/portaudio/alsa_output_filter.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace sonocap::platform {

namespace {

// A burst of traces ends when the libraries have said nothing for this long.
constexpr int kQuietMs = 300;

void WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

bool AlsaOutputFilter::IsAudioLibraryLine(const std::string& line) {
    for (const char* mark :
         {"pa_linux_alsa.c", "ALSA lib ", "snd_pcm_", "PaAlsa", "Expression '"}) {
        if (line.find(mark) != std::string::npos) return true;
    }
    return false;
}

AlsaOutputFilter::AlsaOutputFilter() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return;
    original_ = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (original_ < 0 || dup2(ends[1], STDERR_FILENO) < 0) {
        if (original_ >= 0) close(original_);
        original_ = -1;
        close(ends[0]);
        close(ends[1]);
        return;
    }
    close(ends[1]);
    readEnd_ = ends[0];
    stop_ = eventfd(0, EFD_CLOEXEC);
    thread_ = std::thread([this] { Run(); });
}

AlsaOutputFilter::~AlsaOutputFilter() {
    if (original_ < 0) return;
    // Nothing more enters the pipe; the thread passes on what is in it and stops. (A child
    // process may still hold a write end, so the pipe's end is not waited for.)
    dup2(original_, STDERR_FILENO);
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = write(stop_, &one, sizeof one);
    thread_.join();
    close(stop_);
    close(readEnd_);
    close(original_);
}

void AlsaOutputFilter::Run() {
    std::string pending;  // a line not yet ended
    std::string first;    // the burst's first line
    int more = 0;
    const auto flush = [&] {
        if (first.empty()) return;
        std::string line = "sonocap: the audio system reported: " + first;
        if (more > 0) line += " (and " + std::to_string(more) + " more lines)";
        WriteAll(original_, line + "\n");
        first.clear();
        more = 0;
    };
    const auto take = [&](const char* data, std::size_t bytes) {
        pending.append(data, bytes);
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (IsAudioLibraryLine(line)) {
                if (first.empty()) {
                    first = line;
                } else {
                    ++more;
                }
            } else {
                flush();
                WriteAll(original_, line + "\n");
            }
        }
    };
    char chunk[4096];
    for (;;) {
        pollfd watch[2] = {{readEnd_, POLLIN, 0}, {stop_, POLLIN, 0}};
        const int ready = poll(watch, 2, first.empty() ? -1 : kQuietMs);
        if (ready == 0) {
            flush();
            continue;
        }
        if ((watch[1].revents & POLLIN) != 0) {
            fcntl(readEnd_, F_SETFL, O_NONBLOCK);
            for (ssize_t n; (n = read(readEnd_, chunk, sizeof chunk)) > 0;) {
                take(chunk, static_cast<std::size_t>(n));
            }
            break;
        }
        const ssize_t n = read(readEnd_, chunk, sizeof chunk);
        if (n <= 0) break;
        take(chunk, static_cast<std::size_t>(n));
    }
    flush();
    if (!pending.empty()) WriteAll(original_, pending);
}

}  // namespace sonocap::platform
