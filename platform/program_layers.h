#pragma once

#include "platform/console/stderr_event_log.h"
#include "platform/linux/linux_system_info.h"
#include "platform/portaudio/portaudio_wave_input.h"
#include "platform/posix/heap_allocator.h"
#include "platform/posix/posix_file_io.h"
#include "platform/posix/statvfs_disk_space.h"
#include "platform/qt/qt_layers.h"

namespace sonocap::platform {

// The one place where the program chooses its real layers: the system's heap, files and free
// space, Linux's facts about itself, PortAudio's default input, standard error as the event log,
// and what Qt provides. Installed
// for as long as the object lives. Needs a QApplication.
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
    PortAudioWaveInput waveInput_;
    StderrEventLog eventLog_;
    LayerGuard<Allocator> allocatorGuard_{allocator_};
    LayerGuard<FileIo> filesGuard_{files_};
    LayerGuard<DiskSpace> diskSpaceGuard_{diskSpace_};
    LayerGuard<SystemInfo> systemInfoGuard_{systemInfo_};
    LayerGuard<WaveInput> waveInputGuard_{waveInput_};
    LayerGuard<EventLog> eventLogGuard_{eventLog_};
    // Last: its notifier watches the wave input installed above.
    QtLayers qt_;
};

}  // namespace sonocap::platform
