#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codec/wave_header.h"
#include "tests/codec/test_signals.h"
#include "tools/commands.h"

// encode and decode on worker threads write the same bytes as on one thread: every corpus clip
// and lengths around the capture buffer's, and the same refusal for a damaged file.

namespace sonocap {
namespace {

class Folder {
  public:
    Folder() {
        char name[] = "/tmp/parallel-coding-XXXXXX";
        path_ = mkdtemp(name);
    }
    ~Folder() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

std::vector<char> Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

int RunCommand(const CommandRow& command, std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    std::vector<const char*> valueOptions;
    for (const auto& option : command.valueOptions) valueOptions.push_back(option.first.c_str());
    CommandLine line = SplitCommandLine(static_cast<int>(argv.size()), argv.data(), valueOptions);
    line.command = command.name;
    const Outcome failure = command.run(line);
    return failure ? Report(*failure) : kExitOk;
}

void WriteWave(const std::string& path, const std::vector<int16_t>& samples) {
    uint8_t header[kWaveHeaderBytes];
    buildWaveHeader(static_cast<uint32_t>(2 * samples.size()), kSampleRate, kChannels, header);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(header), sizeof header);
    out.write(reinterpret_cast<const char*>(samples.data()),
              static_cast<std::streamsize>(2 * samples.size()));
}

// Encodes and decodes `wav` with 1, 2 and 3 threads; every output equals the first.
void ExpectSameBytesAtEveryThreadCount(const Folder& dir, const std::string& wav) {
    for (const char* threads : {"1", "2", "3"}) {
        const std::string cx = dir / (std::string("t") + threads + ".cx");
        const std::string out = dir / (std::string("t") + threads + ".wav");
        ASSERT_EQ(RunCommand(kEncodeCommand, {"--threads", threads, "-f", wav, cx}), 0) << wav;
        ASSERT_EQ(RunCommand(kDecodeCommand, {"--threads", threads, "-f", dir / "t1.cx", out}), 0)
            << wav;
        EXPECT_EQ(Bytes(cx), Bytes(dir / "t1.cx")) << wav << " encoded on " << threads;
        EXPECT_EQ(Bytes(out), Bytes(dir / "t1.wav")) << wav << " decoded on " << threads;
    }
}

TEST(ParallelCoding, CorpusClipsGiveTheSameBytes) {
    const Folder dir;
    for (const std::string& name : test::CorpusClipNames()) {
        ExpectSameBytesAtEveryThreadCount(dir, std::string(SONOCAP_CORPUS_DIR) + "/" + name);
    }
}

TEST(ParallelCoding, OddLengthsGiveTheSameBytes) {
    const Folder dir;
    for (const int32_t frames : {0, 1, 7, 9, 2047, 16383, 16384, 16385, 3 * 16384 + 5, 40001}) {
        const std::string wav = dir / ("odd" + std::to_string(frames) + ".wav");
        WriteWave(wav, test::MakeSignal(test::SignalKind::Sine, frames, 7));
        ExpectSameBytesAtEveryThreadCount(dir, wav);
    }
}

TEST(ParallelCoding, ADamagedFileIsRefusedAlike) {
    const Folder dir;
    WriteWave(dir / "in.wav", test::MakeSignal(test::SignalKind::Square, 5 * 16384, 3));
    ASSERT_EQ(RunCommand(kEncodeCommand, {"--threads", "1", dir / "in.wav", dir / "in.cx"}), 0);
    std::vector<char> bytes = Bytes(dir / "in.cx");
    // The word count of the 20th record, in the middle of the file, becomes 0.
    size_t at = 40;
    for (int record = 0; record < 19; ++record) {
        at += 4 + 4 * (static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8);
    }
    bytes[at] = bytes[at + 1] = 0;
    std::ofstream(dir / "bad.cx", std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    for (const char* threads : {"1", "2", "3"}) {
        EXPECT_EQ(
            RunCommand(kDecodeCommand, {"--threads", threads, dir / "bad.cx", dir / "bad.wav"}), 1);
        EXPECT_NE(access((dir / "bad.wav").c_str(), F_OK), 0) << "output left on " << threads;
    }
}

}  // namespace
}  // namespace sonocap
