#pragma once

#include <cstdint>
#include <string>

#include "codec/capture_buffer_encoding.h"
#include "codec/wave_header.h"
#include "platform/file_io.h"
#include "platform/wave_input.h"
#include "platform/window_system.h"

// The one recording of the program: the device, its notification window, the capture ring,
// the file and the counters, from StartRecording to StopRecording.

namespace sonocap {

inline constexpr int32_t kBuffersInRing = 6;
inline constexpr int32_t kFramesPerBuffer = kFramesPerCaptureBuffer;
inline constexpr int32_t kRingFrames = kBuffersInRing * kFramesPerBuffer;
inline constexpr int32_t kBytesPerBuffer = kFramesPerBuffer * kBytesPerFrame;
inline constexpr int32_t kRingSamples = 2 * kRingFrames;
inline constexpr std::size_t kFilePathBytes = 260;

// What StartRecording returned. The numbers are those the log and the tests have always known.
enum StartResult : int32_t {
    kRecordingStarted = 1,
    kRecordingCancelled = -1,
    kDeviceNotOpened = -2,
    kNoMemoryForBuffers = -3,
    kPathTooLong = -4,
    kFileNotCreated = -5,
    kFileInUse = -6,
    kHeaderNotWritten = -7,
};

// Why a recording ended without being asked to (endReason); kNoEndReason while nothing went
// wrong.
enum EndReason : int32_t {
    kNoEndReason = 0,
    kWriteFailed = -8,
    kOverrunStop = -9,
    kDeviceStopped = -10,
    kFileSizeLimit = -11,
    kInputLost = -12,          // failureDetail says how, in the user's words
    kInputNeverStarted = -13,  // no buffer within kDeviceStartMs
};

// A running, unpaused recording whose device has filled no buffer for this long has lost it.
inline constexpr int64_t kDeviceSilenceMs = 3000;
// Before its first buffer a device gets longer: an input waking from suspend or a headset
// switching its profile can take seconds to deliver.
inline constexpr int64_t kDeviceStartMs = 10000;

inline constexpr char kCallbackWindowClass[] = "WAVEClass";

struct CaptureSession {
    platform::WaveInput* device = nullptr;  // open device; nullptr while idle
    platform::WindowHandle callbackWindow = platform::kNoWindow;
    platform::FileHandle file = platform::kNoFile;
    char filePath[kFilePathBytes] = {};
    // A chosen path that filePath cannot hold, kept only to name it in the line that refuses it.
    std::string refusedPath;
    // The recording file's directory, where the free space is measured.
    std::string driveRoot;

    platform::WaveHeader** headers = nullptr;  // six pool blocks
    int16_t** buffers = nullptr;               // slot starts; buffers[0] is the ring block
    int16_t* ring = nullptr;                   // kRingFrames interleaved stereo frames
    int32_t ringIndex = 0;                     // first frame of the slot that comes back next

    // 64-bit so that no counter wraps before the headers' 32-bit size fields are full.
    int64_t totalFrames = 0;             // frames returned by the device and processed
    int64_t bytesWritten = 0;            // bytes stored behind the header
    int64_t dataBytes = 0;               // 4 bytes for each frame stored
    int32_t failed = 0;                  // a data write came up short; notifications are ignored
    int32_t stopRequested = 0;           // the recording must end: the window's timer stops it
    EndReason endReason = kNoEndReason;  // why stopRequested was raised
    // What the system said about the last failure (its error text, or the device's reason);
    // empty when it said nothing.
    std::string failureDetail;
    // The system's error number of the last failed create or write of the file; 0 for none.
    int failureError = 0;

    // The file as it was created, and the record of the take kept beside the user's state
    // (empty when none is kept).
    platform::FileStatus fileStatus;
    std::string takeRecordPath;
    int32_t buffersSinceSync = 0;     // buffers stored since the data was last made durable
    int64_t writeBackFrom = 0;        // where the data whose write-back has not started begins
    bool headerFollowFailed = false;  // the header could not be rewritten behind a buffer
    // Told once a run: the state folder keeps no record, the file system has no locks.
    bool toldNoRecord = false;
    bool toldNoLock = false;

    int64_t capturedFrames = 0;          // the device's position when it was stopped
    platform::InputLoss lossesReported;  // the device's losses already in the log
    int64_t watchedFrames = -1;          // totalFrames at the last progress of the device
    int64_t watchedSinceMs = 0;          // when it was seen

    int32_t meterReadIndex = 0;
    int32_t peakLeft = 0;
    int32_t peakRight = 0;
    int32_t peakHoldLeft = 0;
    int32_t peakHoldRight = 0;
    double dcStateLeft = 0.0;
    double dcStateRight = 0.0;
};

// Asks for a file, creates it with a provisional header, takes the buffers and opens and
// queues the device; starts capture unless paused. kRecordingStarted or a negative result;
// every failure leaves the engine idle.
StartResult StartRecording();

// Stores what the device captured up to now (the buffer being filled included), closes the
// device, writes the final header and releases everything. A file that a failed write left
// with a torn record or frame is cut back to what its header counts.
void StopRecording();

// The pause button: capture stops (the device returns the buffer being filled, cut short) and
// starts again; the recording goes on. While no recording runs only the flag changes.
void PauseCapture();
void ResumeCapture();

// Raises stopRequested for `reason`; the first reason of a recording is the one it ends with.
void RequestEnd(EndReason reason);

// Called on every display tick with a monotonic clock: ends a running, unpaused recording
// whose device has filled no buffer for kDeviceSilenceMs, or none at all for kDeviceStartMs.
void WatchDevice(int64_t nowMs);

// kWaveOk when the default input opened with callbackWindow as its notification target.
platform::WaveResult OpenWaveInput();

// Creates the hidden window that receives the device's notifications. Returns 0.
int32_t CreateCallbackWindow();

// The device lost its input by itself: the recording ends with the device's reason.
void InputLost();

// The notification window's procedure: kWmClose destroys it (1), kMmWimData processes the
// buffer whose header is in lParam (0), kMmWimInputLost ends the recording (0).
intptr_t WAVEWndProc(platform::WindowHandle window, uint32_t message, uintptr_t wParam,
                     intptr_t lParam);

}  // namespace sonocap
