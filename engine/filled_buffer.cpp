#include "engine/filled_buffer.h"

#include "codec/capture_buffer_encoding.h"
#include "engine/capture_session.h"
#include "engine/dc_filter.h"
#include "engine/program_state.h"
#include "engine/recording_limits.h"
#include "platform/file_io.h"
#include "settings/parameter_record.h"

namespace sonocap {

namespace {

int32_t WriteToRecording(const void* data, int32_t bytes) {
    return static_cast<int32_t>(platform::Current<platform::FileIo>().Write(
        captureSession.file, data, static_cast<std::size_t>(bytes)));
}

}  // namespace

void ProcessFilledBuffer(platform::WaveHeader* header) {
    CaptureSession& s = captureSession;
    if (s.failed) return;

    const bool compressed = parameterRecord.compression != 0;
    const int64_t position = s.device->Position();
    // The device has run a whole ring ahead: the buffers behind have been overwritten.
    if (position - s.totalFrames >= kRingFrames) s.stopRequested = 1;
    // A buffer that could take the file past what its header can describe is not stored; the
    // recording ends with the file it has.
    if (!NextBufferFits(compressed, s.bytesWritten, s.dataBytes)) {
        s.stopRequested = 1;
        return;
    }

    const auto frames = static_cast<int32_t>(header->dwBytesRecorded / kBytesPerFrame);
    // Buffers come back in queue order, so the slot at ringIndex is this header's.
    int16_t* samples = s.ring + 2 * static_cast<int64_t>(s.ringIndex);
    if (parameterRecord.dcFilter != 0) RemoveDC(samples, frames);

    if (compressed) {
        uint32_t packetArea[kPacketAreaWords];
        const CompressedBufferWrite stored =
            writeCompressedBuffer(samples, frames, packetArea, WriteToRecording);
        s.bytesWritten += stored.storedBytes;
        s.dataBytes += stored.dataBytes;
        if (stored.shortWrite) s.failed = 1;
    } else {
        const int32_t bytes = frames * kBytesPerFrame;
        const int32_t stored = bytes > 0 ? WriteToRecording(samples, bytes) : 0;
        if (stored > 0) {
            s.bytesWritten += stored;
            s.dataBytes += stored;
        }
        if (stored < bytes) s.failed = 1;
    }

    s.ringIndex += kFramesPerBuffer;
    if (s.ringIndex == kRingFrames) s.ringIndex = 0;
    s.totalFrames += frames;
    // Stop before the next buffer, not after refusing it.
    if (!NextBufferFits(compressed, s.bytesWritten, s.dataBytes)) s.stopRequested = 1;

    s.device->UnprepareHeader(header);
    s.device->PrepareHeader(header);
    s.device->AddBuffer(header);
}

}  // namespace sonocap
