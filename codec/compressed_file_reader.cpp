#include "codec/compressed_file_reader.h"

#include <bit>
#include <cstring>
#include <string>

#include "codec/compressed_header.h"
#include "codec/little_endian.h"
#include "codec/sub_block_record.h"
#include "codec/wave_header.h"

namespace sonocap {

namespace {

FileError At(uint64_t offset, std::string message) {
    return FileError{offset, std::move(message)};
}

std::string Hex(uint32_t v) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s = "0x";
    for (int shift = 28; shift >= 0; shift -= 4) s += digits[(v >> shift) & 0xF];
    return s;
}

}  // namespace

CompressedHeaderFields ParseCompressedHeader(const uint8_t* header) {
    CompressedHeaderFields f;
    f.magic = LoadLE32(header + 0);
    f.fileSize = LoadLE32(header + 4);
    f.uncompressedSize = LoadLE32(header + 8);
    f.nominalSubBlockFrames = LoadLE32(header + 12);
    f.sampleRate = LoadLE32(header + 16);
    f.bitsPerSample = LoadLE16(header + 20);
    f.channels = LoadLE16(header + 22);
    return f;
}

std::optional<FileError> CompressedFileReader::ReadConstants() {
    if (size_ < static_cast<size_t>(kCompressedHeaderBytes)) {
        return At(0, "file of " + std::to_string(size_) + " bytes is shorter than the " +
                         std::to_string(kCompressedHeaderBytes) + "-byte header");
    }
    header_ = ParseCompressedHeader(data_);
    if (header_.magic != kCompressedMagic) {
        return At(0, "magic " + Hex(header_.magic) + " is not " + Hex(kCompressedMagic) +
                         ": not a Compaxa file");
    }
    if (header_.nominalSubBlockFrames != kNominalSubBlockFrames) {
        return At(12, "frames per sub-block " + std::to_string(header_.nominalSubBlockFrames) +
                          ", expected 2048");
    }
    if (header_.sampleRate != static_cast<uint32_t>(kSampleRate)) {
        return At(16, "sample rate " + std::to_string(header_.sampleRate) + ", expected 44100");
    }
    if (header_.bitsPerSample != kBitsPerSample) {
        return At(20, "bits per sample " + std::to_string(header_.bitsPerSample) + ", expected 16");
    }
    if (header_.channels != kChannels) {
        return At(22, "channels " + std::to_string(header_.channels) + ", expected 2");
    }
    return std::nullopt;
}

std::optional<FileError> CompressedFileReader::ReadHeader() {
    if (auto error = ReadConstants()) return error;
    if (header_.fileSize == 0 && header_.uncompressedSize == 0 && size_ > 0) {
        return At(4, "file size field is 0: the recording was never finished");
    }
    if (header_.fileSize != size_) {
        return At(4, "file size field " + std::to_string(header_.fileSize) +
                         " does not match the file's length " + std::to_string(size_));
    }
    offset_ = kCompressedHeaderBytes;
    end_ = header_.fileSize;
    return std::nullopt;
}

std::optional<FileError> CompressedFileReader::ReadHeaderToEnd() {
    if (auto error = ReadConstants()) return error;
    offset_ = kCompressedHeaderBytes;
    end_ = size_;
    return std::nullopt;
}

std::optional<FileError> CompressedFileReader::ReadRecord(int16_t* frames, DecodedRecord& record) {
    const uint64_t at = offset_;
    if (end_ - at < 2) return At(at, "truncated record: no room for its word count");
    const uint16_t wordCount = LoadLE16(data_ + at);
    if (wordCount == 0) return At(at, "record length 0");
    if (wordCount > MaxPacketWords(kMaxBlockFrames)) {
        return At(at, "record of " + std::to_string(wordCount) +
                          " words is longer than any packet (" +
                          std::to_string(MaxPacketWords(kMaxBlockFrames)) + " words)");
    }
    const uint64_t bytes = RecordBytes(wordCount);
    if (bytes > end_ - at) {
        return At(at, "record of " + std::to_string(wordCount) + " words runs past the end (" +
                          std::to_string(end_ - at) + " bytes left)");
    }
    const uint16_t trailing = LoadLE16(data_ + at + bytes - 2);
    if (trailing != wordCount) {
        return At(at + bytes - 2, "record's closing word count " + std::to_string(trailing) +
                                      " differs from its opening " + std::to_string(wordCount));
    }
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(packet_, data_ + at + 2, 4 * size_t{wordCount});
    } else {
        for (uint32_t i = 0; i < wordCount; ++i) packet_[i] = LoadLE32(data_ + at + 2 + 4 * i);
    }
    const DecodeResult decoded = BlockDecoder::decodeBlock(packet_, wordCount, frames);
    if (decoded.status != DecodeStatus::Ok) {
        return At(at, std::string("bad packet: ") + DecodeStatusText(decoded.status));
    }
    record = DecodedRecord{at, wordCount, packet_[0], decoded.frameCount};
    frames_ += static_cast<uint64_t>(decoded.frameCount);
    offset_ = at + bytes;
    return std::nullopt;
}

std::optional<FileError> CheckUncompressedSize(const CompressedHeaderFields& header,
                                               uint64_t frames) {
    if (uint64_t{header.uncompressedSize} != 4 * frames) {
        return At(8, "uncompressed size field " + std::to_string(header.uncompressedSize) +
                         " does not match the " + std::to_string(frames) +
                         " frames of the records (" + std::to_string(4 * frames) + " bytes)");
    }
    return std::nullopt;
}

std::optional<FileError> CompressedFileReader::Finish() const {
    return CheckUncompressedSize(header_, frames_);
}

}  // namespace sonocap
