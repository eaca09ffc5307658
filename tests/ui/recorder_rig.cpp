#include "tests/ui/recorder_rig.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "engine/capture_session.h"
#include "engine/program_state.h"
#include "settings/db_table.h"
#include "settings/parameter_record.h"
#include "settings/program_environment.h"
#include "ui/recorder_dialog.h"

namespace sonocap::test {

RecorderRig::RecorderRig() {
    std::string pattern = (std::filesystem::temp_directory_path() / "sonocap-ui-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) directory_ = pattern;

    ResetProgramState();
    BuildDbTable();
    SetDefaultParameters(parameterRecord);
    meterLagFrames = 0;
    disk.freeBytes = uint64_t{1} << 30;
}

RecorderRig::~RecorderRig() {
    if (captureSession.device != nullptr) StopRecording();
    Pump();
    std::error_code ignored;
    if (!directory_.empty()) std::filesystem::remove_all(directory_, ignored);
}

void RecorderRig::Deliver(const std::vector<int16_t>& frames) {
    const int64_t total = static_cast<int64_t>(frames.size() / 2);
    for (int64_t done = 0; done < total;) {
        const int64_t n = std::min<int64_t>(kFramesPerBuffer, total - done);
        device.Deliver(frames.data() + 2 * done, n);
        done += n;
        Pump();
    }
}

void RecorderRig::Pump() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

std::vector<int16_t> SteadyFrames(int32_t frames, int16_t left, int16_t right) {
    std::vector<int16_t> samples(2 * static_cast<std::size_t>(frames));
    for (int32_t i = 0; i < frames; ++i) {
        samples[2 * i] = left;
        samples[2 * i + 1] = right;
    }
    return samples;
}

}  // namespace sonocap::test
