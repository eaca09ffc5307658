#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "codec/capture_buffer_encoding.h"
#include "codec/compressed_file_reader.h"
#include "codec/compressed_header.h"
#include "codec/lined_up.h"
#include "codec/little_endian.h"
#include "codec/packet_format.h"
#include "codec/recording_check.h"
#include "codec/sub_block_record.h"
#include "codec/wave_header.h"
#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/host_samples.h"
#include "tools/input_file.h"
#include "tools/ordered_pool.h"
#include "tools/output_file.h"
#include "tools/prefault.h"
#include "tools/progress_bar.h"
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

// Records decoded per slot: a capture buffer's worth, enough to keep the workers' share of the
// waiting small; larger slots only cost fresh pages at the start.
constexpr int kRecordsPerSlot = 8;

// The bytes that the records of a slot take, and what they decode to, when they are the
// recorder's: a sub-block of a capture buffer each. Their pages are brought in at once.
constexpr size_t kRecorderSlotBytes =
    size_t{kRecordsPerSlot} * kBytesPerFrame * (kFramesPerCaptureBuffer / kSubBlocksPerBuffer);

// A run of records, framed by their word counts on the reading thread, and what they decode to.
struct DecodeSlot {
    uint64_t offset = 0;
    // The records' bytes, and room for the largest records, so that the workers never allocate.
    std::vector<uint8_t> records = [] {
        std::vector<uint8_t> v;
        v.reserve(size_t{kRecordsPerSlot} * kLongestRecordBytes);
        Prefault(v.data(), kRecorderSlotBytes);
        return v;
    }();
    std::vector<DecodedRecord> framed = std::vector<DecodedRecord>(kRecordsPerSlot);
    int count = 0;
    // What they decode to, in the WAV's byte order, written out from `samples`, which starts in
    // step with their place in the WAV.
    std::unique_ptr<int16_t[]> buffer = [] {
        std::unique_ptr<int16_t[]> s(
            new int16_t[2 * size_t{kRecordsPerSlot} * kMaxBlockFrames + kLineBytes / 2]);
        Prefault(s.get(), kRecorderSlotBytes);
        return s;
    }();
    int16_t* samples = nullptr;
    uint64_t frames = 0;
    std::optional<FileError> error;  // the first fault: of a packet, or after the run's records
    // Where the samples go in the WAV, from the frame counts the records' packets declare.
    uint64_t outputOffset = 0;
    Outcome placed;  // a failure to place the samples there
};

// Frames up to kRecordsPerSlot records into the slot; a record that cannot be framed ends the
// slot with its fault, reported after the records before it. False when that happened.
bool FillSlot(CompressedFileReader& reader, DecodeSlot& slot, uint64_t& framesDeclared) {
    slot.offset = reader.offset();
    slot.outputOffset = kWaveHeaderBytes + kBytesPerFrame * framesDeclared;
    slot.samples = LinedUp(slot.buffer.get(), slot.outputOffset);
    slot.records.clear();
    slot.count = 0;
    slot.error.reset();
    while (slot.count < kRecordsPerSlot && !reader.AtEnd()) {
        const uint8_t* bytes = nullptr;
        DecodedRecord& record = slot.framed[slot.count];
        if ((slot.error = reader.FrameRecord(bytes, record))) return false;
        const uint64_t length = RecordBytes(record.wordCount);
        slot.records.insert(slot.records.end(), bytes, bytes + length);
        // The packet's first word, after the leading W, holds its frame count.
        framesDeclared += LoadLE32(bytes + 2) & kFrameCountMask;
        reader.SkipTo(record.offset + length);
        ++slot.count;
    }
    return true;
}

// Decodes the slot's records, and places their samples in the output when it takes them
// anywhere (`out` is then not null).
void DecodeSlotRecords(DecodeSlot& slot, const OutputFile* out) {
    slot.frames = 0;
    const uint8_t* bytes = slot.records.data();
    for (int i = 0; i < slot.count; ++i) {
        DecodedRecord& record = slot.framed[i];
        int16_t* frames = slot.samples + 2 * slot.frames;
        if (auto error = CompressedFileReader::DecodeFramedRecord(bytes, record, frames)) {
            slot.error = std::move(error);
            break;
        }
        bytes += RecordBytes(record.wordCount);
        slot.frames += static_cast<uint64_t>(record.frameCount);
    }
    const size_t samples = 2 * static_cast<size_t>(slot.frames);
    LittleEndianSamples(slot.samples, samples, reinterpret_cast<uint8_t*>(slot.samples));
    slot.placed.reset();
    if (out != nullptr) {
        slot.placed = out->PlaceAt(slot.outputOffset, slot.samples, kBytesPerFrame * slot.frames);
    }
}

Outcome RunDecode(const CommandLine& line) {
    const std::string& inPath = line.operands[0];
    const std::string& outPath = line.operands[1];
    int threads = 1;
    if (auto failure = ParseThreads(line, threads)) return failure;

    InputFile in;
    if (auto failure = in.Open(inPath)) return failure;
    OutputFile out;
    if (auto failure = out.Open(outPath, OutputOptionsOf(line), in)) return failure;
    ByteWindow window(in);
    if (RecognizeRecording(window) == RecordingKind::Wave) {
        return BadInput(inPath, FileError{0,
                                          "a WAV file, not a Compaxa file (encode makes "
                                          "one from it)"});
    }
    CompressedFileReader reader(window);
    if (auto error = reader.ReadHeader()) return BadInput(inPath, WithRepairHint(*error));
    const uint32_t sampleBytes = reader.Header().uncompressedSize;
    if (uint64_t{sampleBytes} + kWaveHeaderBytes > std::numeric_limits<uint32_t>::max()) {
        return BadInput(inPath, "too long for a WAV file (its sizes are 32-bit)");
    }

    // The header's sizes come first, so that a WAV on a pipe is whole; the records must then
    // agree with them, which is checked at the end.
    uint8_t header[kWaveHeaderBytes];
    buildWaveHeader(sampleBytes, kSampleRate, kChannels, header);
    // A file of our own takes each slot's samples from the worker that decoded them; anything
    // else (a pipe, a device) is written in order, by this thread.
    const OutputFile* placer = out.Placeable() ? &out : nullptr;
    if (auto failure = placer != nullptr ? out.PlaceAt(0, header, sizeof header)
                                         : out.Write(header, sizeof header)) {
        return failure;
    }

    ProgressBar progress("decode", reader.Header().fileSize);
    uint64_t framesDecoded = 0;
    const auto drain = [&](DecodeSlot& slot) -> Outcome {
        if (slot.placed) return slot.placed;
        if (placer == nullptr) {
            if (auto failure =
                    out.Write(slot.samples, kBytesPerFrame * static_cast<size_t>(slot.frames))) {
                return failure;
            }
        }
        if (slot.error) return BadInput(inPath, *slot.error);
        framesDecoded += slot.frames;
        progress.Update(slot.offset);
        return std::nullopt;
    };
    // One thread: the pool decodes each slot as it is filled.
    OrderedPool<DecodeSlot> pool(threads - 1, threads == 1 ? 1 : static_cast<size_t>(threads) + 2,
                                 [placer](DecodeSlot& slot) { DecodeSlotRecords(slot, placer); });
    uint64_t framesDeclared = 0;
    while (!reader.AtEnd()) {
        DecodeSlot* slot = nullptr;
        if (auto failure = pool.Next(drain, slot)) return failure;
        const bool framed = FillSlot(reader, *slot, framesDeclared);
        pool.Submit();
        if (!framed) break;
    }
    if (auto failure = pool.Finish(drain)) return failure;
    if (auto error = reader.CheckInputEnds()) return BadInput(inPath, *error);
    if (auto error = CheckUncompressedSize(reader.Header(), framesDecoded)) {
        return BadInput(inPath, *error);
    }
    progress.Finish();
    return out.Commit();
}

}  // namespace

const CommandRow kDecodeCommand{"decode",
                                {kUsage, kThreadsHelp, kOutputHelp},
                                {"--force", "-f", "--sync"},
                                {{"--threads", "--threads needs a count"}},
                                2,
                                "decode takes IN.cx and OUT.wav",
                                RunDecode};

}  // namespace sonocap
