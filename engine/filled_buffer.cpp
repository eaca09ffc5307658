#include "engine/filled_buffer.h"

#include <cstring>

#include "codec/capture_buffer_encoding.h"
#include "codec/little_endian.h"
#include "engine/capture_session.h"
#include "engine/dc_filter.h"
#include "engine/program_state.h"
#include "engine/recording_limits.h"
#include "engine/recording_log.h"
#include "engine/take_file.h"
#include "platform/file_io.h"
#include "settings/parameter_record.h"

namespace sonocap {

namespace {

int32_t WriteToRecording(const void* data, int32_t bytes) {
    return static_cast<int32_t>(platform::Current<platform::FileIo>().Write(
        captureSession.file, data, static_cast<std::size_t>(bytes)));
}

// Stores the buffer's records with one write rather than three each: a system call costs more
// than copying the bytes once. They are gathered in about 70 kB on the stack of the window's
// thread; only the records stored whole count.
CompressedBufferWrite WriteRecords(const int16_t* samples, int32_t frames) {
    uint32_t packetArea[kPacketAreaWords];
    uint8_t gathered[kSubBlocksPerBuffer * RecordBytes(kPacketAreaWords)];
    std::size_t used = 0;
    writeCompressedBuffer(samples, frames, packetArea, [&](const void* data, int32_t bytes) {
        std::memcpy(gathered + used, data, static_cast<std::size_t>(bytes));
        used += static_cast<std::size_t>(bytes);
        return bytes;
    });
    const auto stored =
        static_cast<std::size_t>(WriteToRecording(gathered, static_cast<int32_t>(used)));
    // The records lie back to back, each as long as its leading word count says.
    CompressedBufferWrite result;
    for (std::size_t at = 0; at < used;) {
        const std::size_t end = at + RecordBytes(LoadLE16(gathered + at));
        if (end > stored) break;
        result.storedBytes = static_cast<uint32_t>(end);
        result.dataBytes += static_cast<uint32_t>(4 * SubBlockFrames(frames));
        at = end;
    }
    result.shortWrite = stored < used;
    return result;
}

// Nothing more is stored, and the recording ends with what its file holds whole.
void WriteFailed() {
    CaptureSession& s = captureSession;
    s.failed = 1;
    NoteFileError(platform::Current<platform::FileIo>().LastError());
    RequestEnd(kWriteFailed);
}

}  // namespace

void ProcessFilledBuffer(platform::WaveHeader* header) {
    CaptureSession& s = captureSession;
    if (s.failed) return;

    const bool compressed = parameterRecord.compression != 0;
    const int64_t position = s.device->Position();
    // The device has run a whole ring ahead: the buffers behind have been overwritten.
    if (position - s.totalFrames >= kRingFrames) RequestEnd(kOverrunStop);
    // A buffer that could take the file past what its header can describe is not stored; the
    // recording ends with the file it has.
    if (!NextBufferFits(compressed, s.bytesWritten, s.dataBytes)) {
        RequestEnd(kFileSizeLimit);
        return;
    }

    const auto frames = static_cast<int32_t>(header->dwBytesRecorded / kBytesPerFrame);
    // Buffers come back in queue order, so the slot at ringIndex is this header's.
    int16_t* samples = s.ring + 2 * static_cast<int64_t>(s.ringIndex);
    if (parameterRecord.dcFilter != 0) RemoveDC(samples, frames);

    if (compressed) {
        const CompressedBufferWrite stored = WriteRecords(samples, frames);
        // Only whole records count; a torn one is cut off at the stop.
        s.bytesWritten += stored.storedBytes;
        s.dataBytes += stored.dataBytes;
        if (stored.shortWrite) WriteFailed();
    } else {
        const int32_t bytes = frames * kBytesPerFrame;
        const int32_t stored = bytes > 0 ? WriteToRecording(samples, bytes) : 0;
        // Only whole frames count; a torn one is cut off at the stop.
        const int32_t whole = stored > 0 ? stored - stored % kBytesPerFrame : 0;
        s.bytesWritten += whole;
        s.dataBytes += whole;
        if (stored < bytes) WriteFailed();
    }

    s.ringIndex += kFramesPerBuffer;
    if (s.ringIndex == kRingFrames) s.ringIndex = 0;
    s.totalFrames += frames;
    if (s.failed == 0) FollowTake();
    // Stop before the next buffer, not after refusing it.
    if (!NextBufferFits(compressed, s.bytesWritten, s.dataBytes)) RequestEnd(kFileSizeLimit);
    ReportInputLoss();

    s.device->UnprepareHeader(header);
    s.device->PrepareHeader(header);
    s.device->AddBuffer(header);
}

}  // namespace sonocap
