#include "engine/recording_file_choice.h"

#include <cstring>

#include "engine/capture_session.h"
#include "engine/program_state.h"
#include "platform/save_dialog.h"
#include "settings/parameter_record.h"

namespace sonocap {

std::string DirectoryOfPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return path;
    // A file in the root keeps the root, not an empty string that would mean no directory.
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

int32_t ChooseRecordingFile() {
    CaptureSession& s = captureSession;
    s.filePath[0] = '\0';
    s.refusedPath.clear();

    platform::SaveFileRequest request;
    request.owner = ownerWindow;
    if (parameterRecord.compression != 0) {
        request.filterDescription = "Compaxa File(*.CX)";
        request.filterPattern = "*.cx";
        request.title = "Select recording Compaxa file";
        request.defaultExtension = "cx";
    } else {
        request.filterDescription = "Wave File(*.WAV)";
        request.filterPattern = "*.wav";
        request.title = "Select recording wave file";
        request.defaultExtension = "wav";
    }
    request.initialDirectory.assign(
        parameterRecord.lastDirectory,
        strnlen(parameterRecord.lastDirectory, sizeof parameterRecord.lastDirectory));

    std::string chosen;
    if (!platform::Current<platform::SaveDialog>().ChooseFile(request, chosen)) return 0;
    if (chosen.empty()) return 0;
    // Cutting a longer path would name another file; an embedded NUL likewise.
    if (chosen.size() >= kFilePathBytes || chosen.find('\0') != std::string::npos) {
        s.refusedPath = chosen;
        return kPathTooLong;
    }
    std::memcpy(s.filePath, chosen.c_str(), chosen.size() + 1);

    const std::string directory = DirectoryOfPath(chosen);
    std::memcpy(parameterRecord.lastDirectory, directory.c_str(), directory.size() + 1);
    return 1;
}

}  // namespace sonocap
