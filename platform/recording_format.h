#pragma once

// The one format of every recording, from the device to the file: PCM, 2 channels, 44 100
// frames a second, 16 bits a sample.

namespace sonocap {

inline constexpr int kSampleRate = 44100;
inline constexpr int kChannels = 2;
inline constexpr int kBitsPerSample = 16;
inline constexpr int kBytesPerFrame = kChannels * kBitsPerSample / 8;
inline constexpr int kBytesPerSecond = kSampleRate * kBytesPerFrame;

// The format in one line, for messages.
inline constexpr char kRecordingFormatText[] = "PCM, 2 channels, 44100 Hz, 16 bits";

}  // namespace sonocap
