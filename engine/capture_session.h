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

// Results of StartRecording.
inline constexpr int32_t kRecordingStarted = 1;
inline constexpr int32_t kRecordingCancelled = -1;
inline constexpr int32_t kDeviceNotOpened = -2;
inline constexpr int32_t kNoMemoryForBuffers = -3;
inline constexpr int32_t kPathTooLong = -4;
inline constexpr int32_t kFileNotCreated = -5;
inline constexpr int32_t kFileInUse = -6;
inline constexpr int32_t kHeaderNotWritten = -7;
// Why a recording ended without being asked to (endReason); 0 while nothing went wrong.
inline constexpr int32_t kWriteFailed = -8;
inline constexpr int32_t kOverrunStop = -9;
inline constexpr int32_t kDeviceStopped = -10;
inline constexpr int32_t kFileSizeLimit = -11;
inline constexpr int32_t kInputLost = -12;          // failureDetail says how, in the user's words
inline constexpr int32_t kInputNeverStarted = -13;  // no buffer within kDeviceStartMs

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
    // The recording file's directory, where the free space is measured.
    std::string driveRoot;

    platform::WaveHeader** headers = nullptr;  // six pool blocks
    int16_t** buffers = nullptr;               // slot starts; buffers[0] is the ring block
    int16_t* ring = nullptr;                   // kRingFrames interleaved stereo frames
    int32_t ringIndex = 0;                     // first frame of the slot that comes back next

    // 64-bit so that no counter wraps before the headers' 32-bit size fields are full.
    int64_t totalFrames = 0;    // frames returned by the device and processed
    int64_t bytesWritten = 0;   // bytes stored behind the header
    int64_t dataBytes = 0;      // 4 bytes for each frame stored
    int32_t failed = 0;         // a data write came up short; notifications are ignored
    int32_t stopRequested = 0;  // the recording must end: the window's timer stops it
    int32_t endReason = 0;      // why stopRequested was raised (kWriteFailed, ...)
    // What the system said about the last failure (its error text, or the device's reason);
    // empty when it said nothing.
    std::string failureDetail;

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
int32_t StartRecording();

// Stores what the device captured up to now (the buffer being filled included), closes the
// device, writes the final header and releases everything. A file that a failed write left
// with a torn record or frame is cut back to what its header counts.
void StopRecording();

// The pause button: capture stops (the device returns the buffer being filled, cut short) and
// starts again; the recording goes on. While no recording runs only the flag changes.
void PauseCapture();
void ResumeCapture();

// Raises stopRequested for `reason`; the first reason of a recording is the one it ends with.
void RequestEnd(int32_t reason);

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
