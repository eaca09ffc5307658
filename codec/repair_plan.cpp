#include "codec/repair_plan.h"

#include <limits>

#include "codec/compressed_header.h"
#include "codec/duration_text.h"
#include "codec/little_endian.h"
#include "codec/record_scan.h"
#include "codec/wave_header.h"
#include "codec/wave_reader.h"

namespace sonocap {

namespace {

constexpr uint64_t kLargestSizeField = std::numeric_limits<uint32_t>::max();

std::string Frames(uint64_t frames) {
    return std::to_string(frames) + " frames (" + FormatDuration(frames) + ")";
}

bool IsChunkName(const uint8_t* p) {
    for (int i = 0; i < 4; ++i) {
        if (p[i] < 0x20 || p[i] > 0x7E) return false;
    }
    return true;
}

std::string CutShort(uint64_t declared, uint64_t held) {
    return "the header declares " + std::to_string(declared) + " bytes but the file holds " +
           std::to_string(held) + ": it looks cut short, " + std::to_string(declared - held) +
           " bytes are missing (an interrupted copy?)";
}

}  // namespace

std::optional<FileError> PlanWaveRepair(ByteWindow& window, RepairPlan& plan) {
    plan = RepairPlan{};
    plan.format = "WAV";
    const uint32_t riffField = window.Reach(0, 8) == 8 ? LoadLE32(window.At(4)) : 0;
    WaveLayout layout;
    if (auto error = ReadWaveLayout(window, layout)) return error;
    if (!IsRecordingFormat(layout)) {
        return FileError{20, NotRecordingFormatText(layout)};
    }
    const uint64_t declared = layout.declaredDataBytes;
    plan.headerBytes = layout.dataOffset;
    // Whole chunks right after the declared samples (LIST and the like) end the samples there;
    // otherwise every byte up to the end of the file is taken for samples.
    uint64_t chunksEnd = 0;
    const uint64_t afterSamples = layout.dataOffset + declared + (declared & 1);
    if (declared != 0 && window.Reach(afterSamples, 8) == 8 &&
        IsChunkName(window.At(afterSamples))) {
        chunksEnd = EndOfWholeChunks(window, afterSamples);
    }
    plan.length = window.Length();
    if (window.Error()) return FileError{plan.length, *window.Error()};
    const uint64_t present = plan.length - layout.dataOffset;
    uint64_t dataBytes = 0;
    uint64_t end = 0;
    if (chunksEnd > afterSamples) {
        plan.headerState = "data size field " + std::to_string(declared) + ", then chunks";
        dataBytes = declared - declared % kBytesPerFrame;
        end = dataBytes == declared ? chunksEnd : layout.dataOffset + dataBytes;
        plan.cutReason = "neither samples that the data size field declares nor whole chunks";
    } else {
        plan.headerState = declared == 0 ? "data size field 0: the recording was never finished"
                           : declared < present
                               ? "data size field " + std::to_string(declared) + " but " +
                                     std::to_string(present) + " bytes of samples in the file"
                               : "data size field " + std::to_string(declared) + " but only " +
                                     std::to_string(present) + " bytes of data in the file";
        dataBytes = present - present % kBytesPerFrame;
        end = layout.dataOffset + dataBytes;
        plan.cutReason = "a torn last frame";
        if (declared > present) {
            plan.damage = FileError{layout.dataOffset - 4, CutShort(declared, present)};
            plan.damageExtent = Frames(dataBytes / kBytesPerFrame) + " of audio are in the file";
        }
    }
    plan.newLength = end;
    if (plan.newLength - 8 > kLargestSizeField) {
        return FileError{4, "too long for a WAV file's 32-bit sizes"};
    }
    plan.patches = {
        {4, static_cast<uint32_t>(plan.newLength - 8), riffField},
        {layout.dataOffset - 4, static_cast<uint32_t>(dataBytes), layout.declaredDataBytes}};
    plan.frames = dataBytes / kBytesPerFrame;
    plan.content = Frames(plan.frames) + " of samples, up to byte " +
                   std::to_string(layout.dataOffset + dataBytes);
    if (end > layout.dataOffset + dataBytes) {
        plan.content += ", then chunks up to byte " + std::to_string(end);
    }
    return std::nullopt;
}

std::optional<FileError> PlanCompressedRepair(ByteWindow& window, RepairPlan& plan) {
    plan = RepairPlan{};
    plan.format = "Compaxa";
    const size_t head = window.Reach(0, kCompressedHeaderBytes);
    const uint32_t fileSize = head >= 12 ? LoadLE32(window.At(4)) : 0;
    const uint32_t uncompressedSize = head >= 12 ? LoadLE32(window.At(8)) : 0;
    RecordScan scan;
    if (auto error = ScanRecords(window, scan)) return error;
    plan.length = scan.length;
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
    plan.patches = {{4, static_cast<uint32_t>(scan.validEnd), fileSize},
                    {8, static_cast<uint32_t>(kBytesPerFrame * scan.frames), uncompressedSize}};
    plan.content = std::to_string(scan.records) + " valid records, " + Frames(scan.frames) +
                   ", up to byte " + std::to_string(scan.validEnd);
    const uint64_t declaredFrames = uncompressedSize / kBytesPerFrame;
    if (finished && fileSize > scan.length) {
        // A recorder never leaves sizes larger than its file; an interrupted copy does.
        plan.damage = FileError{4, CutShort(fileSize, scan.length)};
        plan.damageExtent =
            Frames(scan.frames) + " of audio lie before " +
            (scan.stop ? "the torn end" : "the end") + " and the header declares " +
            Frames(declaredFrames > scan.frames ? declaredFrames - scan.frames : 0) + " more";
    } else if (scan.stop && (scan.resumeAt || (finished && fileSize > scan.validEnd))) {
        // A finished header that reaches past the fault, or valid records behind it: the fault is
        // inside the recording, and what lies behind it is audio.
        plan.damage = scan.stop;
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

std::optional<FileError> PlanWaveRepair(const uint8_t* data, size_t size, RepairPlan& plan) {
    ByteWindow window(data, size);
    return PlanWaveRepair(window, plan);
}

std::optional<FileError> PlanCompressedRepair(const uint8_t* data, size_t size, RepairPlan& plan) {
    ByteWindow window(data, size);
    return PlanCompressedRepair(window, plan);
}

}  // namespace sonocap
