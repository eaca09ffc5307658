#include <bit>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "codec/capture_buffer_encoding.h"
#include "codec/compressed_header.h"
#include "codec/lined_up.h"
#include "codec/wave_header.h"
#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/host_samples.h"
#include "tools/input_file.h"
#include "tools/ordered_pool.h"
#include "tools/output_file.h"
#include "tools/prefault.h"
#include "tools/progress_bar.h"
#include "tools/record_verifier.h"
#include "tools/report.h"
#include "tools/threads_option.h"
#include "tools/wave_stream.h"

namespace sonocap {

namespace {

constexpr char kUsage[] =
    "usage: sonocap-cx encode [--verify] [--threads N] [--force] [--sync] IN.wav OUT.cx\n"
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

// One capture buffer: its samples as read, and its eight records as they go to the file.
struct EncodeSlot {
    // The buffer's samples, read into `samples`, which starts in step with their place in the WAV
    // when the worker reads them.
    std::unique_ptr<uint8_t[]> buffer = [] {
        std::unique_ptr<uint8_t[]> s(
            new uint8_t[kBytesPerFrame * kFramesPerCaptureBuffer + kLineBytes]);
        Prefault(s.get(), kBytesPerFrame * kFramesPerCaptureBuffer);
        return s;
    }();
    uint8_t* samples = buffer.get();
    size_t sampleBytes = 0;
    uint64_t firstFrame = 0;
    // A regular file's samples are read by the worker, from here; elsewhere they are read in order
    // by the filling thread (`from` is then empty).
    std::optional<uint64_t> from;
    Outcome readFailure;
    // Room for the largest records, so that the workers never allocate.
    std::vector<uint8_t> records = [] {
        std::vector<uint8_t> v;
        v.reserve(kSubBlocksPerBuffer * RecordBytes(kPacketAreaWords));
        Prefault(v.data(), kBytesPerFrame * kFramesPerCaptureBuffer);  // more than most need
        return v;
    }();
    CompressedBufferWrite stored;
    std::optional<std::string> mismatch;       // --verify: what a record decoded to instead
    std::unique_ptr<RecordVerifier> verifier;  // --verify only
};

// Encodes the buffer in a slot as the recorder would, with its three writes of each record going
// to the slot's bytes; with --verify the second, the packet's words, is decoded on its way.
void EncodeBuffer(EncodeSlot& slot, const InputFile& in) {
    slot.readFailure.reset();
    if (slot.from) {
        slot.readFailure = in.ReadAt(*slot.from, slot.samples, slot.sampleBytes);
        if (slot.readFailure) return;
    }
    const auto frames = static_cast<int32_t>(slot.sampleBytes / kBytesPerFrame);
    thread_local std::unique_ptr<int16_t[]> scratch;
    if constexpr (std::endian::native != std::endian::little) {
        if (!scratch) scratch.reset(new int16_t[2 * kFramesPerCaptureBuffer]);
    }
    const int16_t* buffer =
        HostSamples(slot.samples, 2 * static_cast<size_t>(frames), scratch.get());
    const int32_t subBlockFrames = SubBlockFrames(frames);
    uint32_t packetArea[kPacketAreaWords];
    slot.records.clear();
    slot.mismatch.reset();
    int writeInBuffer = 0;
    const auto write = [&](const void* data, int32_t count) {
        if (slot.verifier && writeInBuffer % 3 == 1 && !slot.mismatch) {
            const int32_t subBlock = writeInBuffer / 3;
            slot.mismatch = slot.verifier->Check(
                data, count, buffer + 2 * subBlock * subBlockFrames, subBlockFrames);
        }
        ++writeInBuffer;
        const auto* p = static_cast<const uint8_t*>(data);
        slot.records.insert(slot.records.end(), p, p + count);
        return count;
    };
    slot.stored = writeCompressedBuffer(buffer, frames, packetArea, write);
}

Outcome RunEncode(const CommandLine& line) {
    const bool verify = line.Has("--verify");
    const std::string& inPath = line.operands[0];
    const std::string& outPath = line.operands[1];
    int threads = 1;
    if (auto failure = ParseThreads(line, threads)) return failure;

    InputFile in;
    if (auto failure = in.Open(inPath)) return failure;
    OutputOptions options = OutputOptionsOf(line);
    options.needsSeek = true;
    OutputFile out;
    if (auto failure = out.Open(outPath, options, in)) return failure;
    WaveStream wave;
    if (auto failure = OpenWaveStream(in, wave)) return failure;

    uint8_t header[kCompressedHeaderBytes];
    buildCompressedPlaceholder(header);
    if (auto failure = out.Write(header, sizeof header)) return failure;

    ProgressBar progress("encode", wave.toEnd ? 0 : wave.dataBytes);
    uint64_t bytesWritten = 0, dataBytes = 0, totalFrames = 0;
    size_t tornFrameBytes = 0;
    // A regular file's samples lie where its head said: each worker reads its own buffer, and
    // this thread only hands them out and writes.
    const bool readByWorkers = in.IsRegular() && !wave.toEnd;
    // Readies the next capture buffer in a slot, read here or by its worker: none at the end of
    // the samples.
    const auto fill = [&](EncodeSlot& slot) -> Outcome {
        progress.Update(wave.samplesRead);
        if (readByWorkers) {
            slot.from = wave.layout.dataOffset + wave.samplesRead;
            slot.samples =
                LinedUp(slot.buffer.get(), *slot.from & ~uint64_t{1});  // samples stay aligned
            slot.sampleBytes = static_cast<size_t>(std::min<uint64_t>(
                kBytesPerFrame * kFramesPerCaptureBuffer, wave.dataBytes - wave.samplesRead));
            wave.samplesRead += slot.sampleBytes;
        } else {
            size_t got = 0;
            if (auto failure = ReadSamples(in, wave, slot.samples,
                                           kBytesPerFrame * kFramesPerCaptureBuffer, got)) {
                return failure;
            }
            // Only a stream of unknown length can end inside a frame.
            tornFrameBytes = got % kBytesPerFrame;
            slot.sampleBytes = got - tornFrameBytes;
        }
        slot.firstFrame = totalFrames;
        totalFrames += slot.sampleBytes / kBytesPerFrame;
        if (verify && !slot.verifier) slot.verifier = std::make_unique<RecordVerifier>();
        return std::nullopt;
    };
    // Writes a slot's records.
    const auto drain = [&](EncodeSlot& slot) -> Outcome {
        if (slot.readFailure) return slot.readFailure;
        if (slot.mismatch) {
            return BadInput(inPath, "verify: a record of the capture buffer at frame " +
                                        std::to_string(slot.firstFrame) + " " + *slot.mismatch +
                                        "; nothing written");
        }
        if (auto failure = out.Write(slot.records.data(), slot.records.size())) return failure;
        bytesWritten += slot.stored.storedBytes;
        dataBytes += slot.stored.dataBytes;
        return std::nullopt;
    };
    const auto lastBuffer = [](const EncodeSlot& slot) {
        return slot.sampleBytes < kBytesPerFrame * kFramesPerCaptureBuffer;
    };
    // One thread: the pool encodes each slot as it is filled.
    OrderedPool<EncodeSlot> pool(threads - 1, threads == 1 ? 1 : 4 * static_cast<size_t>(threads),
                                 [&in](EncodeSlot& slot) { EncodeBuffer(slot, in); });
    for (;;) {
        EncodeSlot* slot = nullptr;
        if (auto failure = pool.Next(drain, slot)) return failure;
        if (auto failure = fill(*slot)) return failure;
        if (slot->sampleBytes == 0) break;
        pool.Submit();
        if (lastBuffer(*slot)) break;
    }
    if (auto failure = pool.Finish(drain)) return failure;
    progress.Finish();
    // Past the samples that the workers read, to the chunks after them.
    const uint64_t samplesEnd = wave.layout.dataOffset + wave.dataBytes;
    if (readByWorkers && samplesEnd > wave.head.size()) {
        if (auto failure = in.Skip(samplesEnd - wave.head.size())) return failure;
    }
    if (auto failure = CheckAfterSamples(in, wave)) return failure;
    if (auto failure = in.CheckUnchanged()) return failure;
    if (kCompressedHeaderBytes + bytesWritten > std::numeric_limits<uint32_t>::max()) {
        return BadInput(inPath, "too long for a Compaxa file (its sizes are 32-bit)");
    }
    buildCompressedHeader(static_cast<uint32_t>(kCompressedHeaderBytes + bytesWritten),
                          static_cast<uint32_t>(dataBytes), header);
    if (auto failure = out.WriteAt(0, header, sizeof header)) return failure;
    if (auto failure = out.Commit()) return failure;
    const uint64_t dropped = totalFrames - dataBytes / kBytesPerFrame;
    if (dropped > 0) {
        std::fprintf(stderr,
                     "sonocap-cx: %s: the last %s dropped, as the recorder drops them: "
                     "they do not fill the eight sub-blocks of the final capture buffer\n",
                     QuotedName(inPath).c_str(),
                     Counted(dropped, "frame was", "frames were").c_str());
    }
    if (tornFrameBytes > 0) {
        std::fprintf(
            stderr, "sonocap-cx: %s: the stream ended inside a frame: its last %s dropped\n",
            QuotedName(inPath).c_str(), Counted(tornFrameBytes, "byte was", "bytes were").c_str());
    }
    return std::nullopt;
}

}  // namespace

const CommandRow kEncodeCommand{"encode",
                                {kUsage, kThreadsHelp, kOutputHelp},
                                {"--verify", "--force", "-f", "--sync"},
                                {{"--threads", "--threads needs a count"}},
                                2,
                                "encode takes IN.wav and OUT.cx",
                                RunEncode};

}  // namespace sonocap
