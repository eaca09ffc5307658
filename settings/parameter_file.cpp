#include "settings/parameter_file.h"

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/file_io.h"
#include "settings/parameter_record.h"
#include "settings/program_environment.h"
#include "settings/program_values.h"
#include "settings/settings_location.h"

namespace sonocap {

bool LoadParameterFile() {
    platform::FileIo& files = platform::Current<platform::FileIo>();
    const platform::FileHandle file = files.OpenForReading(FindSettingsLocation().readPath);
    if (file == platform::kNoFile) return false;
    if (files.Length(file) != static_cast<int64_t>(kParameterRecordBytes)) {
        files.Close(file);
        return false;
    }
    ParameterImage image{};
    const std::size_t read = files.Read(file, image.data(), image.size());
    files.Close(file);
    if (read != image.size()) return false;

    // A file of the right length is taken into the record before its magic is judged; the
    // defaults then cover every position that matters.
    DecodeParameterRecord(image, parameterRecord);
    if (parameterRecord.magic != kParameterMagic) return false;
    // Everyone who reads lastDirectory expects a terminated text; a full field without
    // one can only come from a damaged file.
    return std::memchr(parameterRecord.lastDirectory, '\0', kLastDirectoryBytes) != nullptr;
}

bool SaveParameterFile() {
    platform::FileIo& files = platform::Current<platform::FileIo>();
    const std::string path = FindSettingsLocation().writePath;
    if (path.empty()) return false;
    // A user's own settings folder is made on the first save; when that fails, so does the save.
    if (path != programDirectory + kParameterFileName) {
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    }
    const platform::FileHandle file = files.CreateForWriting(path);
    if (file == platform::kNoFile) return false;
    const ParameterImage image = EncodeParameterRecord(parameterRecord);
    const std::size_t written = files.Write(file, image.data(), image.size());
    // A close that fails may have lost data the write accepted.
    const bool closed = files.Close(file);
    return written == image.size() && closed;
}

}  // namespace sonocap
