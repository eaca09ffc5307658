#include "settings/parameter_record.h"

#include <cstring>

#include "codec/little_endian.h"

namespace sonocap {

ParameterImage EncodeParameterRecord(const ParameterRecord& record) {
    ParameterImage image{};
    StoreLE32(&image[offsetof(ParameterRecord, magic)], record.magic);
    std::memcpy(&image[offsetof(ParameterRecord, lastDirectory)], record.lastDirectory,
                kLastDirectoryBytes);
    StoreLE32(&image[offsetof(ParameterRecord, compression)],
              static_cast<uint32_t>(record.compression));
    StoreLE32(&image[offsetof(ParameterRecord, dcFilter)], static_cast<uint32_t>(record.dcFilter));
    return image;
}

void DecodeParameterRecord(const ParameterImage& image, ParameterRecord& record) {
    record.magic = LoadLE32(&image[offsetof(ParameterRecord, magic)]);
    std::memcpy(record.lastDirectory, &image[offsetof(ParameterRecord, lastDirectory)],
                kLastDirectoryBytes);
    record.compression =
        static_cast<int32_t>(LoadLE32(&image[offsetof(ParameterRecord, compression)]));
    record.dcFilter = static_cast<int32_t>(LoadLE32(&image[offsetof(ParameterRecord, dcFilter)]));
}

void SetDefaultParameters(ParameterRecord& record) {
    record.magic = kParameterMagic;
    record.lastDirectory[0] = '\0';
    record.compression = 0;
    record.dcFilter = 0;
}

}  // namespace sonocap
