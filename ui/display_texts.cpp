#include "ui/display_texts.h"

#include <cstdio>

#include "platform/disk_space.h"
#include "platform/recording_format.h"
#include "settings/db_table.h"
#include "settings/program_values.h"

namespace sonocap {

int64_t ShownSeconds(int64_t frames) {
    // A clock shows a second once it has passed: 59.99 s are still "00:59 min".
    return frames / kSampleRate;
}

std::string MinutesText(int64_t seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld min", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

int64_t SecondsLeft(uint64_t freeBytes, int64_t totalFrames, int64_t bytesWritten,
                    bool compressed) {
    const auto uncompressed = static_cast<int64_t>(freeBytes / kBytesPerSecond);
    if (!compressed || bytesWritten == 0) return uncompressed;
    const int64_t recordedBytes = totalFrames * kBytesPerFrame;
    return static_cast<int64_t>(static_cast<double>(recordedBytes) *
                                static_cast<double>(uncompressed) /
                                static_cast<double>(bytesWritten));
}

std::string PeakText(int32_t peakHold) {
    if (peakHold <= 0) return "-inf dB";
    char text[32];
    std::snprintf(text, sizeof text, "%+5.1fdB", static_cast<double>(dbTable[peakHold]));
    return text;
}

std::string LevelText(float db) {
    if (db <= kSilenceDb) return "-inf dB";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dB", static_cast<double>(db));
    return text;
}

float MeterTarget(float db) {
    if (db < kMeterFloorDb) return 0.0f;
    return static_cast<float>((db - kMeterFloorDb) * kMeterScalePerDb);
}

std::optional<uint64_t> FreeDiskBytes(const std::string& directory) {
    return platform::Current<platform::DiskSpace>().FreeBytes(directory);
}

}  // namespace sonocap
