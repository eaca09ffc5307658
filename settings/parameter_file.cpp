#include "settings/parameter_file.h"

#include <cstring>
#include <string>

#include "platform/file_io.h"
#include "settings/parameter_record.h"
#include "settings/program_environment.h"
#include "settings/program_values.h"

namespace sonocap {

namespace {
std::string ParameterFilePath() {
    return programDirectory + kParameterFileName;
}
}  // namespace

bool LoadParameterFile() {
    platform::FileIo& files = platform::Current<platform::FileIo>();
    const platform::FileHandle file = files.OpenForReading(ParameterFilePath());
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
    const platform::FileHandle file = files.CreateForWriting(ParameterFilePath());
    if (file == platform::kNoFile) return false;
    const ParameterImage image = EncodeParameterRecord(parameterRecord);
    const std::size_t written = files.Write(file, image.data(), image.size());
    // A close that fails may have lost data the write accepted.
    const bool closed = files.Close(file);
    return written == image.size() && closed;
}

}  // namespace sonocap
