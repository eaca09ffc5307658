#include "tools/repair_plan.h"

#include <limits>

#include "codec/compressed_header.h"
#include "codec/little_endian.h"
#include "codec/record_scan.h"
#include "codec/wave_header.h"
#include "codec/wave_reader.h"
#include "tools/duration_text.h"

namespace sonocap {

namespace {

constexpr uint64_t kLargestSizeField = std::numeric_limits<uint32_t>::max();

std::string Frames(uint64_t frames) {
    return std::to_string(frames) + " frames (" + FormatDuration(frames) + ")";
}

}  // namespace

std::optional<FileError> PlanWaveRepair(const uint8_t* data, size_t size, RepairPlan& plan) {
    plan = RepairPlan{};
    plan.format = "WAV";
    WaveLayout layout;
    if (auto error = ReadWaveLayout(data, size, layout)) return error;
    if (!IsRecordingFormat(layout)) {
        return FileError{20, NotRecordingFormatText(layout)};
    }
    const uint64_t present = size - layout.dataOffset;
    const uint64_t declared = layout.declaredDataBytes;
    plan.headerBytes = layout.dataOffset;
    uint64_t dataBytes = 0;
    uint64_t end = 0;
    if (declared != 0 && declared <= present) {
        // A final header was written: the recording ends where it says, and whole chunks after
        // the samples belong to the file; bytes after them do not.
        plan.headerState = "data size field " + std::to_string(declared) + ", with " +
                           std::to_string(present - declared) + " more bytes after the data";
        dataBytes = declared - declared % kBytesPerFrame;
        end = dataBytes == declared
                  ? EndOfWholeChunks(data, size, layout.dataOffset + declared + (declared & 1))
                  : layout.dataOffset + dataBytes;
        plan.cutReason = "neither samples that the data size field declares nor whole chunks";
    } else {
        plan.headerState = declared == 0
                               ? "data size field 0: the recording was never finished"
                               : "data size field " + std::to_string(declared) + " but only " +
                                     std::to_string(present) + " bytes of data in the file";
        dataBytes = present - present % kBytesPerFrame;
        end = layout.dataOffset + dataBytes;
        plan.cutReason = "a torn last frame";
    }
    plan.newLength = end;
    if (plan.newLength - 8 > kLargestSizeField) {
        return FileError{4, "too long for a WAV file's 32-bit sizes"};
    }
    plan.patches = {{4, static_cast<uint32_t>(plan.newLength - 8)},
                    {layout.dataOffset - 4, static_cast<uint32_t>(dataBytes)}};
    plan.frames = dataBytes / kBytesPerFrame;
    plan.content = Frames(plan.frames) + " of samples, up to byte " +
                   std::to_string(layout.dataOffset + dataBytes);
    if (end > layout.dataOffset + dataBytes) {
        plan.content += ", then chunks up to byte " + std::to_string(end);
    }
    return std::nullopt;
}

std::optional<FileError> PlanCompressedRepair(const uint8_t* data, size_t size, RepairPlan& plan) {
    plan = RepairPlan{};
    plan.format = "Compaxa";
    RecordScan scan;
    if (auto error = ScanRecords(data, size, scan)) return error;
    const uint32_t fileSize = LoadLE32(data + 4);
    const uint32_t uncompressedSize = LoadLE32(data + 8);
    plan.headerState = "file size field " + std::to_string(fileSize) +
                       ", uncompressed size field " + std::to_string(uncompressedSize);
    const bool finished = fileSize != 0 || uncompressedSize != 0;
    if (!finished) plan.headerState += ": the recording was never finished";
    plan.headerBytes = kCompressedHeaderBytes;
    plan.newLength = scan.validEnd;
    plan.frames = scan.frames;
    if (scan.validEnd > kLargestSizeField || kBytesPerFrame * scan.frames > kLargestSizeField) {
        return FileError{4, "too long for a Compaxa file's 32-bit sizes"};
    }
    plan.patches = {{4, static_cast<uint32_t>(scan.validEnd)},
                    {8, static_cast<uint32_t>(kBytesPerFrame * scan.frames)}};
    plan.content = std::to_string(scan.records) + " valid records, " + Frames(scan.frames) +
                   ", up to byte " + std::to_string(scan.validEnd);
    // A finished header that reaches past the fault, or valid records behind it: the fault is
    // inside the recording, and what lies behind it is audio.
    const bool declaredPastFault = finished && fileSize > scan.validEnd && !scan.tornRecord;
    if (scan.stop && (scan.resumeAt || declaredPastFault)) {
        plan.damage = scan.stop;
        const uint64_t declaredFrames = uncompressedSize / kBytesPerFrame;
        const uint64_t after = scan.resumeAt                  ? scan.framesAfter
                               : declaredFrames > scan.frames ? declaredFrames - scan.frames
                                                              : 0;
        plan.damageExtent =
            Frames(scan.frames) + " of audio lie before it and " +
            (scan.resumeAt ? "" : "the header declares ") + Frames(after) + " after it" +
            (scan.resumeAt
                 ? " (valid records again from offset " + std::to_string(*scan.resumeAt) + ")"
                 : "");
    }
    if (scan.stop) {
        plan.cutReason = scan.tornRecord
                             ? "a torn last record"
                             : "not a record (offset " + std::to_string(scan.stop->offset) + ": " +
                                   scan.stop->message + ")";
    }
    return std::nullopt;
}

}  // namespace sonocap
