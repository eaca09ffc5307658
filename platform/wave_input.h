#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/layer.h"
#include "platform/window_system.h"

// Capture from the default input in the one format of a recording: PCM, 2 channels, 44 100 Hz,
// 16 bits. The caller lends the device buffers through headers; the device fills them in the
// order they were queued and posts each one back to the notification window as kMmWimData with
// the header in the long parameter.

namespace sonocap::platform {

// Header flags set by the device.
inline constexpr uint32_t kWaveHeaderDone = 0x01;
inline constexpr uint32_t kWaveHeaderPrepared = 0x02;
inline constexpr uint32_t kWaveHeaderInQueue = 0x10;

struct WaveHeader {
    char* lpData = nullptr;
    uint32_t dwBufferLength = 0;
    uint32_t dwBytesRecorded = 0;  // bytes the device filled when the buffer comes back
    uintptr_t dwUser = 0;
    uint32_t dwFlags = 0;
    uint32_t dwLoops = 0;
    WaveHeader* lpNext = nullptr;
    uintptr_t reserved = 0;
};

// 0 is success; any other result is a failure.
using WaveResult = int32_t;
inline constexpr WaveResult kWaveOk = 0;
inline constexpr WaveResult kWaveNoDevice = 2;       // no input device to open
inline constexpr WaveResult kWaveDeviceFailed = 1;   // the device refused or failed
inline constexpr WaveResult kWaveNotOpen = 5;        // an operation on a closed device
inline constexpr WaveResult kWaveStillPlaying = 33;  // a queued header cannot be unprepared

// Input that the audio system dropped before it reached the device's buffers: frames that no
// position counts. Counted since the device was opened.
struct InputLoss {
    int64_t events = 0;   // how many times input was lost
    int64_t frames = 0;   // frames known to be lost (0 when only the fact is known)
    int64_t atFrame = 0;  // the device position at the latest loss
};

// An input the user can record from.
struct InputSource {
    std::string name;         // the audio system's name for it
    std::string description;  // what the user is shown
    bool monitor = false;     // the monitor of an output: what the computer plays
};

// The inputs on offer and the one in use: the recording's while one runs, otherwise the one
// the next recording starts from.
struct InputChoice {
    std::vector<InputSource> sources;  // by description; empty when the device offers no choice
    std::string inUse;                 // a source's name; empty for the default input
};

class WaveInput {
  public:
    virtual ~WaveInput() = default;

    // Opens the default input; filled buffers go to `notificationWindow`. When the open
    // fails, OpenFailure() says why.
    virtual WaveResult Open(WindowHandle notificationWindow) = 0;
    virtual WaveResult PrepareHeader(WaveHeader* header) = 0;
    virtual WaveResult UnprepareHeader(WaveHeader* header) = 0;
    virtual WaveResult AddBuffer(WaveHeader* header) = 0;
    virtual WaveResult Start() = 0;
    // Pauses; the buffer being filled comes back with the bytes it holds.
    virtual WaveResult Stop() = 0;
    // Stops and returns every queued buffer.
    virtual WaveResult Reset() = 0;
    virtual WaveResult Close() = 0;

    // Frames captured since the device was opened. Advances while the device runs, whether
    // or not a buffer is queued: frames that found no buffer are lost.
    virtual int64_t Position() = 0;

    // The input lost since the open. Read on the thread of the event loop.
    virtual InputLoss Losses() const = 0;

    // Why the last Open failed, for the user; empty after a successful open.
    virtual std::string OpenFailure() const = 0;

    // A descriptor that becomes readable when buffers have come back, for the event loop to
    // watch; -1 when the device posts its notifications directly.
    virtual int NotificationDescriptor() const = 0;
    // Posts the notifications of the buffers that came back since the last call. Runs on the
    // thread of the event loop.
    virtual void DeliverNotifications() = 0;

    // Names the recording for the audio system's own views (the take's file name); used by the
    // next Open.
    virtual void NameStream(const std::string& /*name*/) {}
    // Why the device lost its input by itself, in the user's words, after it posted
    // kMmWimInputLost; empty otherwise.
    virtual std::string InputFailure() const { return {}; }
    // The inputs the user may choose from, as last heard from the audio system: never waits.
    virtual InputChoice Inputs() const { return {}; }
    // Records from the source named `name` (empty: the default input) from now on, a running
    // recording included; the audio system remembers the choice. False when the device offers
    // no choice. Never waits for the audio system.
    virtual bool ChooseInput(const std::string& /*name*/) { return false; }
};

template <>
inline constexpr const char* kLayerName<WaveInput> = "wave input";

}  // namespace sonocap::platform
