#include "settings/settings.h"

#include "platform/message_sink.h"
#include "settings/parameter_file.h"
#include "settings/parameter_record.h"
#include "settings/program_values.h"

namespace sonocap {

namespace {

constexpr char kFileErrorTitle[] = " File error:";
constexpr char kFileErrorText[] =
    "\n      The parameter File could not be saved.     \n\n"
    "                                Disk full ?.";

constexpr char kParameterFileErrorTitle[] = " Parameter file error:";
constexpr char kParameterFileErrorText[] =
    "\n    The parameter File is invalid. The program   \n"
    "      will start with a set of default parameter.";

void ShowSettingsMessage(const char* title, const char* text) {
    platform::MessageRequest request;
    request.title = title;
    request.text = text;
    request.buttons = platform::MessageButtons::Ok;
    request.systemModal = true;
    platform::Current<platform::MessageSink>().ShowMessage(request);
}

}  // namespace

void LoadSettings() {
    if (LoadParameterFile()) return;
    ShowSettingsMessage(kParameterFileErrorTitle, kParameterFileErrorText);
    SetDefaultParameters(parameterRecord);
}

void SaveSettings() {
    if (SaveParameterFile()) return;
    ShowSettingsMessage(kFileErrorTitle, kFileErrorText);
}

}  // namespace sonocap
