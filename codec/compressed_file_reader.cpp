#include "codec/compressed_file_reader.h"

#include <algorithm>
#include <limits>
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

constexpr uint64_t kToTheEnd = std::numeric_limits<uint64_t>::max();

}  // namespace

CompressedFileReader::CompressedFileReader(const uint8_t* data, size_t size)
    : ownWindow_(std::in_place, data, size), window_(&*ownWindow_) {}

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
    const size_t got = window_->Reach(0, kCompressedHeaderBytes);
    if (window_->Error()) return At(got, *window_->Error());
    if (got < static_cast<size_t>(kCompressedHeaderBytes)) {
        return At(0, "file of " + std::to_string(got) + " bytes is shorter than the " +
                         std::to_string(kCompressedHeaderBytes) + "-byte header");
    }
    header_ = ParseCompressedHeader(window_->At(0));
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
    if (header_.fileSize == 0 && header_.uncompressedSize == 0) {
        return At(4, "file size field is 0: the recording was never finished");
    }
    offset_ = kCompressedHeaderBytes;
    end_ = header_.fileSize;
    lengthUnchecked_ = !window_->LengthKnown();
    if (!lengthUnchecked_ && header_.fileSize != window_->Length()) return LengthMismatch();
    return std::nullopt;
}

FileError CompressedFileReader::LengthMismatch() {
    return At(4, "file size field " + std::to_string(header_.fileSize) +
                     " does not match the file's length " + std::to_string(window_->Length()));
}

std::optional<FileError> CompressedFileReader::ReadHeaderToEnd() {
    if (auto error = ReadConstants()) return error;
    offset_ = kCompressedHeaderBytes;
    end_ = kToTheEnd;
    return std::nullopt;
}

bool CompressedFileReader::AtEnd() {
    if (offset_ >= end_) return true;
    // The end of the input ends the records; a read error is left to ReadRecord to report.
    return end_ == kToTheEnd && window_->Reach(offset_, 1) == 0 && !window_->Error();
}

std::optional<FileError> CompressedFileReader::ReadRecord(int16_t* frames, DecodedRecord& record) {
    const uint8_t* bytes = nullptr;
    if (auto error = FrameRecord(bytes, record)) return error;
    if (auto error = DecodeFramedRecord(bytes, record, frames)) return error;
    frames_ += static_cast<uint64_t>(record.frameCount);
    offset_ = record.offset + RecordBytes(record.wordCount);
    return std::nullopt;
}

std::optional<FileError> CompressedFileReader::FrameRecord(const uint8_t*& bytesAt,
                                                           DecodedRecord& record) {
    const uint64_t at = offset_;
    const uint64_t want = std::min(kLongestRecordBytes, end_ - at);
    const size_t got = window_->Reach(at, static_cast<size_t>(want));
    if (window_->Error()) return At(at + got, *window_->Error());
    // A stream that ends before the header's file size.
    if (got < want && lengthUnchecked_) return LengthMismatch();
    const uint64_t left = got;  // all that is left when less than the longest record
    if (left < 2) return At(at, "truncated record: no room for its word count");
    const uint8_t* data = window_->At(at);
    const uint16_t wordCount = LoadLE16(data);
    if (wordCount == 0) return At(at, "record length 0");
    if (wordCount > MaxPacketWords(kMaxBlockFrames)) {
        return At(at, "record of " + std::to_string(wordCount) +
                          " words is longer than any packet (" +
                          std::to_string(MaxPacketWords(kMaxBlockFrames)) + " words)");
    }
    const uint64_t bytes = RecordBytes(wordCount);
    if (bytes > left) {
        return At(at, "record of " + std::to_string(wordCount) + " words runs past the end (" +
                          std::to_string(left) + " bytes left)");
    }
    const uint16_t trailing = LoadLE16(data + bytes - 2);
    if (trailing != wordCount) {
        return At(at + bytes - 2, "record's closing word count " + std::to_string(trailing) +
                                      " differs from its opening " + std::to_string(wordCount));
    }
    bytesAt = data;
    record = DecodedRecord{at, wordCount, 0, 0};
    return std::nullopt;
}

std::optional<FileError> CompressedFileReader::DecodeFramedRecord(const uint8_t* bytes,
                                                                  DecodedRecord& record,
                                                                  int16_t* frames) {
    const DecodeResult decoded =
        BlockDecoder::decodeStoredBlock(bytes + 2, record.wordCount, frames);
    if (decoded.status != DecodeStatus::Ok) {
        return At(record.offset, std::string("bad packet: ") + DecodeStatusText(decoded.status));
    }
    record.headerWord = LoadLE32(bytes + 2);
    record.frameCount = decoded.frameCount;
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

std::optional<FileError> CompressedFileReader::CheckInputEnds() {
    if (!lengthUnchecked_) return std::nullopt;
    const size_t more = window_->Reach(end_, 1);
    if (window_->Error()) return At(end_, *window_->Error());
    if (more > 0) return LengthMismatch();
    return std::nullopt;
}

std::optional<FileError> CompressedFileReader::Finish() {
    if (auto error = CheckInputEnds()) return error;
    return CheckUncompressedSize(header_, frames_);
}

}  // namespace sonocap
