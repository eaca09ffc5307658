#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/console/stderr_event_log.h"
#include "platform/dbus/dbus_desktop_notifier.h"
#include "platform/linux/linux_system_info.h"
#include "platform/portaudio/portaudio_wave_input.h"
#include "platform/posix/heap_allocator.h"
#include "platform/posix/posix_file_io.h"
#include "platform/posix/statvfs_disk_space.h"
#include "platform/pulse/pulse_wave_input.h"
#include "platform/qt/qt_layers.h"

namespace sonocap::platform {

// The desktop's sound server when one answers, otherwise PortAudio's default input (ALSA's
// devices). SONOCAP_AUDIO=pulse or SONOCAP_AUDIO=portaudio forces one.
inline std::unique_ptr<WaveInput> ChooseWaveInput() {
    const char* forced = std::getenv("SONOCAP_AUDIO");
    if (forced != nullptr && std::strcmp(forced, "portaudio") == 0) {
        return std::make_unique<PortAudioWaveInput>();
    }
    auto pulse = std::make_unique<PulseWaveInput>();
    if (forced != nullptr && std::strcmp(forced, "pulse") == 0) return pulse;
    if (forced != nullptr && forced[0] != '\0') {
        std::fprintf(stderr,
                     "sonocap: SONOCAP_AUDIO=%s is neither pulse nor portaudio; the sound server "
                     "is used when one answers\n",
                     forced);
    }
    if (pulse->ServerAnswered()) return pulse;
    return std::make_unique<PortAudioWaveInput>();
}

// The one place where the program chooses its real layers: the system's heap, files and free
// space, Linux's facts about itself, the sound server's input (or PortAudio's), standard error
// as the event log, the desktop's notifications over D-Bus, and what Qt provides. Installed for as
// long as the object lives. Needs a QApplication.
class ProgramLayers {
  public:
    ProgramLayers() = default;
    ProgramLayers(const ProgramLayers&) = delete;
    ProgramLayers& operator=(const ProgramLayers&) = delete;

  private:
    HeapAllocator allocator_;
    PosixFileIo files_;
    StatvfsDiskSpace diskSpace_;
    LinuxSystemInfo systemInfo_;
    std::unique_ptr<WaveInput> waveInput_ = ChooseWaveInput();
    StderrEventLog eventLog_;
    DbusDesktopNotifier notifier_;
    LayerGuard<Allocator> allocatorGuard_{allocator_};
    LayerGuard<FileIo> filesGuard_{files_};
    LayerGuard<DiskSpace> diskSpaceGuard_{diskSpace_};
    LayerGuard<SystemInfo> systemInfoGuard_{systemInfo_};
    LayerGuard<WaveInput> waveInputGuard_{*waveInput_};
    LayerGuard<EventLog> eventLogGuard_{eventLog_};
    LayerGuard<DesktopNotifier> notifierGuard_{notifier_};
    // Last: its notifier watches the wave input installed above.
    QtLayers qt_;
};

}  // namespace sonocap::platform
