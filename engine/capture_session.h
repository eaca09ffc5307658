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
inline constexpr int32_t kFileNotCreated = -5;
inline constexpr int32_t kHeaderNotWritten = -7;

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
    int32_t stopRequested = 0;  // overrun or file full: the window's timer stops the recording

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

// Returns every buffer, closes the device, writes the final header and releases everything.
// The buffer being filled is not stored.
void StopRecording();

// The pause button: capture stops (the device returns the buffer being filled, cut short) and
// starts again; the recording goes on. While no recording runs only the flag changes.
void PauseCapture();
void ResumeCapture();

// kWaveOk when the default input opened with callbackWindow as its notification target.
platform::WaveResult OpenWaveInput();

// Creates the hidden window that receives the device's notifications. Returns 0.
int32_t CreateCallbackWindow();

// The notification window's procedure: kWmClose destroys it (1), kMmWimData processes the
// buffer whose header is in lParam (0).
intptr_t WAVEWndProc(platform::WindowHandle window, uint32_t message, uintptr_t wParam,
                     intptr_t lParam);

}  // namespace sonocap
