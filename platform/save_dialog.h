#pragma once

#include <string>

#include "platform/layer.h"
#include "platform/window_system.h"

// The dialog in which the user names a file to be written. It never asks about overwriting an
// existing file: the caller does that.

namespace sonocap::platform {

struct SaveFileRequest {
    WindowHandle owner = kNoWindow;
    std::string filterDescription;  // "Wave File(*.WAV)"
    std::string filterPattern;      // "*.wav"
    std::string title;
    std::string defaultExtension;  // added to a name typed without one, no dot: "wav"
    std::string initialDirectory;  // empty: the dialog's own choice
};

class SaveDialog {
  public:
    virtual ~SaveDialog() = default;

    // True with the full path of the chosen file in `path`; false when the user cancelled or
    // the dialog failed.
    virtual bool ChooseFile(const SaveFileRequest& request, std::string& path) = 0;
};

template <>
inline constexpr const char* kLayerName<SaveDialog> = "save dialog";

}  // namespace sonocap::platform
