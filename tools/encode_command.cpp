#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <string>

#include "codec/capture_buffer_encoding.h"
#include "codec/compressed_header.h"
#include "codec/wave_header.h"
#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/host_samples.h"
#include "tools/input_file.h"
#include "tools/output_file.h"
#include "tools/progress_bar.h"
#include "tools/record_verifier.h"
#include "tools/report.h"
#include "tools/wave_stream.h"

namespace sonocap {

namespace {

constexpr char kUsage[] =
    "usage: sonocap-cx encode [--verify] [--force] [--sync] IN.wav OUT.cx\n"
    "\n"
    "Compresses a 16-bit stereo 44100 Hz PCM WAV file into a Compaxa file, exactly as the\n"
    "recorder writes it: the samples in capture buffers of 16384 frames, each buffer in eight\n"
    "sub-blocks of one eighth of its frames. The frames of a short last buffer beyond eight\n"
    "equal sub-blocks (at most 7) are dropped, as the recorder drops them; a note says how many.\n"
    "--verify decodes every record as it is written and compares it with its input frames.\n"
    "IN may be - for standard input: a WAV from a pipe may say \"length unknown\" (data size\n"
    "0, 0x7FFFF000 or 0xFFFFFFFF), and then its samples run to the end of the stream. OUT may be\n"
    "- only when standard output is a file, since the header's sizes come first.\n"
    "A progress bar appears on standard error when that is a terminal.\n"
    "\n";

}  // namespace

int RunEncode(int argc, char** argv) {
    const CommandLine line = SplitCommandLine(argc, argv);
    if (line.Has("--help")) {
        std::fputs(kUsage, stdout);
        std::fputs(kOutputHelp, stdout);
        return kExitOk;
    }
    for (const std::string& option : line.options) {
        if (option != "--verify" && !IsOutputOption(option)) {
            return ReportUsage(kUsage, "unknown option " + option);
        }
    }
    if (line.operands.size() != 2) return ReportUsage(kUsage, "encode takes IN.wav and OUT.cx");
    const bool verify = line.Has("--verify");
    const std::string& inPath = line.operands[0];
    const std::string& outPath = line.operands[1];

    InputFile in;
    std::string reason;
    if (!in.Open(inPath, reason)) return ReportError(inPath, reason);
    OutputOptions options = OutputOptionsOf(line);
    options.needsSeek = true;
    OutputFile out;
    if (!out.Open(outPath, options, in)) return ReportOutputError(outPath, out.error());
    WaveStream wave;
    if (auto error = OpenWaveStream(in, wave)) return ReportError(inPath, *error);

    uint8_t header[kCompressedHeaderBytes];
    buildCompressedPlaceholder(header);
    out.Write(header, sizeof header);

    static uint8_t bytes[kBytesPerFrame * kFramesPerCaptureBuffer];
    static int16_t scratch[2 * kFramesPerCaptureBuffer];
    uint32_t packetArea[kPacketAreaWords];
    const auto verifier = verify ? std::make_unique<RecordVerifier>() : nullptr;
    std::optional<std::string> mismatch;

    // The recorder's three writes of each record; with --verify the second, the packet's words,
    // is decoded on its way to the file.
    const int16_t* buffer = nullptr;
    int32_t subBlockFrames = 0;
    int writeInBuffer = 0;
    const auto write = [&](const void* data, int32_t count) {
        if (verifier && writeInBuffer % 3 == 1 && !mismatch) {
            const int32_t subBlock = writeInBuffer / 3;
            mismatch = verifier->Check(data, count, buffer + 2 * subBlock * subBlockFrames,
                                       subBlockFrames);
        }
        ++writeInBuffer;
        return out.Write(data, static_cast<size_t>(count)) ? count : 0;
    };
    ProgressBar progress("encode", wave.toEnd ? 0 : wave.dataBytes);
    uint64_t bytesWritten = 0, dataBytes = 0, totalFrames = 0;
    size_t tornFrameBytes = 0;
    for (;;) {
        progress.Update(wave.samplesRead);
        size_t got = 0;
        if (auto error = ReadSamples(in, wave, bytes, sizeof bytes, got)) {
            return ReportError(inPath, *error);
        }
        // Only a stream of unknown length can end inside a frame.
        tornFrameBytes = got % kBytesPerFrame;
        const auto frames = static_cast<int32_t>(got / kBytesPerFrame);
        if (frames == 0) break;
        totalFrames += static_cast<uint64_t>(frames);
        buffer = HostSamples(bytes, 2 * static_cast<size_t>(frames), scratch);
        subBlockFrames = SubBlockFrames(frames);
        writeInBuffer = 0;
        const CompressedBufferWrite stored =
            writeCompressedBuffer(buffer, frames, packetArea, write);
        if (stored.shortWrite || !out.error().empty()) {
            return ReportOutputError(outPath, out.error());
        }
        if (mismatch) {
            return ReportError(inPath, "verify: a record of the capture buffer at frame " +
                                           std::to_string(totalFrames - frames) + " " + *mismatch +
                                           "; nothing written");
        }
        bytesWritten += stored.storedBytes;
        dataBytes += stored.dataBytes;
        if (got < sizeof bytes) break;
    }
    progress.Finish();
    if (!in.CheckUnchanged(reason)) return ReportError(inPath, reason);
    if (kCompressedHeaderBytes + bytesWritten > std::numeric_limits<uint32_t>::max()) {
        return ReportError(inPath, "too long for a Compaxa file (its sizes are 32-bit)");
    }
    buildCompressedHeader(static_cast<uint32_t>(kCompressedHeaderBytes + bytesWritten),
                          static_cast<uint32_t>(dataBytes), header);
    if (!out.WriteAt(0, header, sizeof header) || !out.Commit()) {
        return ReportOutputError(outPath, out.error());
    }
    const uint64_t dropped = totalFrames - dataBytes / kBytesPerFrame;
    if (dropped > 0) {
        std::fprintf(stderr,
                     "sonocap-cx: %s: the last %s dropped, as the recorder drops them: "
                     "they do not fill the eight sub-blocks of the final capture buffer\n",
                     inPath.c_str(), Counted(dropped, "frame was", "frames were").c_str());
    }
    if (tornFrameBytes > 0) {
        std::fprintf(stderr,
                     "sonocap-cx: %s: the stream ended inside a frame: its last %s dropped\n",
                     inPath.c_str(), Counted(tornFrameBytes, "byte was", "bytes were").c_str());
    }
    return kExitOk;
}

}  // namespace sonocap
