#include "engine/take_file.h"

#include "codec/compressed_header.h"
#include "codec/wave_header.h"
#include "engine/program_state.h"
#include "engine/recording_log.h"
#include "engine/take_record.h"
#include "platform/file_io.h"
#include "settings/parameter_record.h"

namespace sonocap {

int64_t HeaderBytes() {
    return parameterRecord.compression != 0 ? kCompressedHeaderBytes : kWaveHeaderBytes;
}

bool WriteHeaderForCounters() {
    const CaptureSession& s = captureSession;
    platform::FileIo& files = platform::Current<platform::FileIo>();
    if (parameterRecord.compression != 0) {
        uint8_t header[kCompressedHeaderBytes];
        buildCompressedHeader(static_cast<uint32_t>(kCompressedHeaderBytes + s.bytesWritten),
                              static_cast<uint32_t>(s.dataBytes), header);
        return files.WriteAt(s.file, 0, header, sizeof header) == sizeof header;
    }
    uint8_t header[kWaveHeaderBytes];
    buildWaveHeader(static_cast<uint32_t>(s.bytesWritten), kSampleRate, kChannels, header);
    return files.WriteAt(s.file, 0, header, sizeof header) == sizeof header;
}

void FollowTake() {
    CaptureSession& s = captureSession;
    platform::FileIo& files = platform::Current<platform::FileIo>();
    const int64_t end = HeaderBytes() + s.bytesWritten;
    ++s.buffersSinceSync;
    // Dirty pages never pile up: the disk gets the buffers while the next ones are captured.
    if (s.buffersSinceSync % kBuffersPerWriteBack == 0 && end > s.writeBackFrom) {
        files.StartWriteBack(s.file, s.writeBackFrom, end - s.writeBackFrom);
        s.writeBackFrom = end;
    }
    // Behind the data, never in front of it: sizes that count bytes not yet written would be
    // a file that claims audio it does not hold.
    if (!WriteHeaderForCounters() && !s.headerFollowFailed) {
        s.headerFollowFailed = true;
        LogFileFailure("the header could not be kept up with the take (the stop writes it)",
                       files.LastError());
    }
    if (s.buffersSinceSync >= kBuffersPerSync) {
        s.buffersSinceSync = 0;
        files.RequestDataSync(s.file);
        UpdateTakeRecord();
    }
}

bool MakeTakeDurable() {
    platform::FileIo& files = platform::Current<platform::FileIo>();
    if (files.SyncData(captureSession.file)) return true;
    LogFileFailure("the file could not be made durable; it may not all be on the disk",
                   files.LastError());
    return false;
}

}  // namespace sonocap
