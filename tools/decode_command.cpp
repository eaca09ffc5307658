#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "codec/compressed_file_reader.h"
#include "codec/compressed_header.h"
#include "codec/little_endian.h"
#include "codec/sub_block_record.h"
#include "codec/wave_header.h"
#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/host_samples.h"
#include "tools/input_file.h"
#include "tools/ordered_pool.h"
#include "tools/output_file.h"
#include "tools/progress_bar.h"
#include "tools/recording_check.h"
#include "tools/report.h"
#include "tools/threads_option.h"

namespace sonocap {

namespace {

constexpr char kUsage[] =
    "usage: sonocap-cx decode [--threads N] [--force] [--sync] IN.cx OUT.wav\n"
    "\n"
    "Decodes a Compaxa file into a WAV file (44-byte header, 16-bit stereo 44100 Hz PCM).\n"
    "Every record is checked; a damaged file is reported with the offset of the fault and\n"
    "nothing is left under OUT's name. IN and OUT may be - for standard input and output; the\n"
    "WAV's sizes come from the Compaxa header, so a WAV on a pipe is complete. A progress bar\n"
    "appears on standard error when that is a terminal.\n"
    "\n";

// Records decoded per slot: two capture buffers' worth, enough to keep the workers' share of
// the waiting small.
constexpr int kRecordsPerSlot = 16;

// What is read ahead of the records being framed: at least the longest slot there can be.
constexpr uint64_t kReadAheadBytes =
    std::max<uint64_t>(256 << 10, kRecordsPerSlot* RecordBytes(MaxPacketWords(kMaxBlockFrames)));

// A run of records, found by their word counts alone, and what they decode to.
struct DecodeSlot {
    uint64_t offset = 0;
    int records = 0;
    // Little-endian, as they go to the WAV; room for the largest records, so that the workers
    // never allocate.
    std::vector<uint8_t> samples = [] {
        std::vector<uint8_t> v;
        v.reserve(size_t{kRecordsPerSlot} * kBytesPerFrame * kMaxBlockFrames);
        return v;
    }();
    uint64_t frames = 0;
    std::optional<FileError> error;  // the first fault of the run, as the reader reports it
};

// Where the next slot's records end: the word counts are followed until kRecordsPerSlot records or
// the first one that cannot be framed, which then ends the slot (and the file's walk) so that its
// worker reports it.
uint64_t FrameSlot(const uint8_t* data, uint64_t size, uint64_t offset, int& records) {
    records = 0;
    while (records < kRecordsPerSlot && offset < size) {
        ++records;
        const uint16_t words = size - offset >= 2 ? LoadLE16(data + offset) : 0;
        const uint64_t bytes = RecordBytes(words);
        if (words == 0 || words > MaxPacketWords(kMaxBlockFrames) || bytes > size - offset) {
            return size;
        }
        offset += bytes;
    }
    return offset;
}

}  // namespace

int RunDecode(int argc, char** argv) {
    const CommandLine line = SplitCommandLine(argc, argv, {"--threads"});
    if (line.Has("--help")) {
        std::fputs(kUsage, stdout);
        std::fputs(kThreadsHelp, stdout);
        std::fputs(kOutputHelp, stdout);
        return kExitOk;
    }
    for (const std::string& option : line.options) {
        if (option != "--threads" && !IsOutputOption(option)) {
            return ReportUsage(kUsage, "unknown option " + option);
        }
    }
    if (line.operands.size() != 2) return ReportUsage(kUsage, "decode takes IN.cx and OUT.wav");
    const std::string& inPath = line.operands[0];
    const std::string& outPath = line.operands[1];
    int threads = 1;
    std::string problem;
    if (!ParseThreads(line, threads, problem)) return ReportUsage(kUsage, problem);

    InputFile in;
    std::string reason;
    if (!in.Open(inPath, reason)) return ReportError(inPath, reason);
    OutputFile out;
    if (!out.Open(outPath, OutputOptionsOf(line), in)) {
        return ReportOutputError(outPath, out.Error());
    }
    // On worker threads a file is read on while its beginning is decoded; otherwise all first.
    const bool readOn = threads > 1 && in.IsRegular();
    if (!(readOn ? in.LoadUpTo(kReadAheadBytes, reason) : in.Load(reason))) {
        return ReportError(inPath, reason);
    }
    const uint64_t inputBytes = readOn ? in.LengthAtOpen() : in.size();
    if (RecognizeRecording(in.data(), in.size()) == RecordingKind::Wave) {
        return ReportError(inPath, FileError{0,
                                             "a WAV file, not a Compaxa file (encode makes "
                                             "one from it)"});
    }
    CompressedFileReader reader(in.data(), inputBytes);
    if (auto error = reader.ReadHeader()) return ReportError(inPath, WithRepairHint(*error));
    const uint32_t sampleBytes = reader.Header().uncompressedSize;
    if (uint64_t{sampleBytes} + kWaveHeaderBytes > std::numeric_limits<uint32_t>::max()) {
        return ReportError(inPath, "too long for a WAV file (its sizes are 32-bit)");
    }

    // The header's sizes come first, so that a WAV on a pipe is whole; the records must then
    // agree with them, which Finish checks.
    uint8_t header[kWaveHeaderBytes];
    buildWaveHeader(sampleBytes, kSampleRate, kChannels, header);
    out.Write(header, sizeof header);

    ProgressBar progress("decode", inputBytes);
    if (threads == 1) {
        int16_t frames[2 * kMaxBlockFrames];
        uint8_t scratch[4 * kMaxBlockFrames];
        while (!reader.AtEnd()) {
            progress.Update(reader.offset());
            DecodedRecord record;
            if (auto error = reader.ReadRecord(frames, record)) return ReportError(inPath, *error);
            const size_t samples = 2 * static_cast<size_t>(record.frameCount);
            if (!out.Write(LittleEndianSamples(frames, samples, scratch), 2 * samples)) {
                return ReportOutputError(outPath, out.Error());
            }
        }
        if (auto error = reader.Finish()) return ReportError(inPath, *error);
    } else {
        const uint8_t* data = in.data();
        const uint64_t size = inputBytes;
        const auto decode = [data, size](DecodeSlot& slot) {
            thread_local int16_t frames[2 * kMaxBlockFrames];
            thread_local uint8_t scratch[4 * kMaxBlockFrames];
            CompressedFileReader records(data, size);
            records.ReadHeaderToEnd();
            records.SkipTo(slot.offset);
            slot.samples.clear();
            slot.error.reset();
            for (int i = 0; i < slot.records; ++i) {
                DecodedRecord record;
                if ((slot.error = records.ReadRecord(frames, record))) break;
                const size_t samples = 2 * static_cast<size_t>(record.frameCount);
                const auto* bytes =
                    static_cast<const uint8_t*>(LittleEndianSamples(frames, samples, scratch));
                slot.samples.insert(slot.samples.end(), bytes, bytes + 2 * samples);
            }
            slot.frames = records.framesDecoded();
        };
        std::optional<int> failure;
        uint64_t framesDecoded = 0;
        const auto drain = [&](DecodeSlot& slot) {
            if (slot.error) {
                failure = ReportError(inPath, *slot.error);
            } else if (!out.Write(slot.samples.data(), slot.samples.size())) {
                failure = ReportOutputError(outPath, out.Error());
            }
            framesDecoded += slot.frames;
            progress.Update(slot.offset);
            return !failure;
        };
        OrderedPool<DecodeSlot> pool(threads, 4 * static_cast<size_t>(threads), decode);
        uint64_t offset = kCompressedHeaderBytes;
        while (offset < size) {
            // The records of a slot are framed and decoded only once they are all in memory.
            if (readOn && !in.LoadUpTo(offset + kReadAheadBytes, reason)) {
                failure = ReportError(inPath, reason);
                break;
            }
            DecodeSlot* slot = pool.Next(drain);
            if (slot == nullptr) break;
            slot->offset = offset;
            offset = FrameSlot(data, size, offset, slot->records);
            pool.Submit();
        }
        if (!failure) pool.Finish(drain);
        if (!failure && readOn && !in.LoadUpTo(size, reason)) {
            failure = ReportError(inPath, reason);
        }
        if (failure) return *failure;
        if (auto error = CheckUncompressedSize(reader.Header(), framesDecoded)) {
            return ReportError(inPath, *error);
        }
    }
    progress.Finish();
    if (!out.Commit()) return ReportOutputError(outPath, out.Error());
    return kExitOk;
}

}  // namespace sonocap
