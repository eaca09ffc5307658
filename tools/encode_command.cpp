#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <string>

#include "codec/capture_buffer_encoding.h"
#include "codec/compressed_header.h"
#include "codec/wave_header.h"
#include "codec/wave_reader.h"
#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/host_samples.h"
#include "tools/mapped_file.h"
#include "tools/output_file.h"
#include "tools/progress_bar.h"
#include "tools/record_verifier.h"
#include "tools/report.h"

namespace sonocap {

namespace {

constexpr char kUsage[] =
    "usage: sonocap-cx encode [--verify] IN.wav OUT.cx\n"
    "\n"
    "Compresses a 16-bit stereo 44100 Hz PCM WAV file into a Compaxa file, exactly as the\n"
    "recorder writes it: the samples in capture buffers of 16384 frames, each buffer in eight\n"
    "sub-blocks of one eighth of its frames. The frames of a short last buffer beyond eight\n"
    "equal sub-blocks (at most 7) are dropped, as the recorder drops them; a note says how many.\n"
    "--verify decodes every record as it is written and compares it with its input frames.\n"
    "A progress bar appears on standard error when that is a terminal.\n";

}  // namespace

int RunEncode(int argc, char** argv) {
    const CommandLine line = SplitCommandLine(argc, argv);
    if (line.Has("--help")) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    for (const std::string& option : line.options) {
        if (option != "--verify") return ReportUsage(kUsage, "unknown option " + option);
    }
    if (line.operands.size() != 2) return ReportUsage(kUsage, "encode takes IN.wav and OUT.cx");
    const bool verify = line.Has("--verify");
    const std::string& inPath = line.operands[0];
    const std::string& outPath = line.operands[1];

    MappedFile in;
    std::string reason;
    if (!in.Open(inPath, reason)) return ReportError(inPath, reason);
    WaveLayout wave;
    if (auto error = ReadWaveLayout(in.data(), in.size(), wave)) return ReportError(inPath, *error);
    if (!IsRecordingFormat(wave)) {
        return ReportError(inPath, DescribeWaveFormat(wave) +
                                       ": only PCM, 2 channels, 44100 Hz, 16 bits can be encoded");
    }
    const uint64_t dataHeader = wave.dataOffset - 8;
    if (wave.presentDataBytes < wave.declaredDataBytes) {
        return ReportError(
            inPath,
            FileError{dataHeader, "data chunk declares " + std::to_string(wave.declaredDataBytes) +
                                      " bytes but the file holds only " +
                                      std::to_string(wave.presentDataBytes)});
    }
    // A recording that never reached its stop keeps a data size of 0 with its samples behind it.
    if (wave.declaredDataBytes == 0 && in.size() > wave.dataOffset) {
        return ReportError(inPath,
                           FileError{dataHeader, "data chunk of 0 bytes with " +
                                                     std::to_string(in.size() - wave.dataOffset) +
                                                     " bytes behind it: an unfinished recording? "
                                                     "sonocap-cx repair rebuilds its header"});
    }
    if (wave.declaredDataBytes % kBytesPerFrame != 0) {
        return ReportError(
            inPath,
            FileError{dataHeader, "data chunk of " + std::to_string(wave.declaredDataBytes) +
                                      " bytes is not a whole number of frames"});
    }

    OutputFile out;
    if (!out.Create(outPath)) return ReportError(outPath, out.error());
    uint8_t header[kCompressedHeaderBytes];
    buildCompressedPlaceholder(header);
    out.Write(header, sizeof header);

    const uint8_t* samples = in.data() + wave.dataOffset;
    const uint64_t totalFrames = wave.declaredDataBytes / kBytesPerFrame;
    static int16_t scratch[2 * kFramesPerCaptureBuffer];
    uint32_t packetArea[kPacketAreaWords];
    const auto verifier = verify ? std::make_unique<RecordVerifier>() : nullptr;
    std::optional<std::string> mismatch;

    // The recorder's three writes of each record; with --verify the second, the packet's words,
    // is decoded on its way to the file.
    const int16_t* buffer = nullptr;
    int32_t subBlockFrames = 0;
    int writeInBuffer = 0;
    const auto write = [&](const void* data, int32_t bytes) {
        if (verifier && writeInBuffer % 3 == 1 && !mismatch) {
            const int32_t subBlock = writeInBuffer / 3;
            mismatch = verifier->Check(data, bytes, buffer + 2 * subBlock * subBlockFrames,
                                       subBlockFrames);
        }
        ++writeInBuffer;
        return out.Write(data, static_cast<size_t>(bytes)) ? bytes : 0;
    };
    ProgressBar progress("encode", wave.declaredDataBytes);
    uint64_t bytesWritten = 0, dataBytes = 0;
    for (uint64_t first = 0; first < totalFrames; first += kFramesPerCaptureBuffer) {
        progress.Update(first * kBytesPerFrame);
        const auto frames =
            static_cast<int32_t>(std::min<uint64_t>(kFramesPerCaptureBuffer, totalFrames - first));
        buffer =
            HostSamples(samples + first * kBytesPerFrame, 2 * static_cast<size_t>(frames), scratch);
        subBlockFrames = SubBlockFrames(frames);
        writeInBuffer = 0;
        const CompressedBufferWrite stored =
            writeCompressedBuffer(buffer, frames, packetArea, write);
        if (stored.shortWrite || !out.error().empty()) return ReportError(outPath, out.error());
        if (mismatch) {
            return ReportError(inPath, "verify: a record of the capture buffer at frame " +
                                           std::to_string(first) + " " + *mismatch +
                                           "; nothing written");
        }
        bytesWritten += stored.storedBytes;
        dataBytes += stored.dataBytes;
    }
    progress.Finish();
    if (kCompressedHeaderBytes + bytesWritten > std::numeric_limits<uint32_t>::max()) {
        return ReportError(inPath, "too long for a Compaxa file (its sizes are 32-bit)");
    }
    buildCompressedHeader(static_cast<uint32_t>(kCompressedHeaderBytes + bytesWritten),
                          static_cast<uint32_t>(dataBytes), header);
    if (!out.WriteAt(0, header, sizeof header) || !out.Commit()) {
        return ReportError(outPath, out.error());
    }
    const uint64_t dropped = totalFrames - dataBytes / kBytesPerFrame;
    if (dropped > 0) {
        std::fprintf(stderr,
                     "sonocap-cx: %s: the last %llu %s dropped, as the recorder drops them: "
                     "they do not fill the eight sub-blocks of the final capture buffer\n",
                     inPath.c_str(), static_cast<unsigned long long>(dropped),
                     dropped == 1 ? "frame was" : "frames were");
    }
    return kExitOk;
}

}  // namespace sonocap
