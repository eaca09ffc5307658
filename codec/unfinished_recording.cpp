#include "codec/unfinished_recording.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "codec/block_decoder.h"
#include "codec/block_encoder.h"
#include "codec/compressed_file_reader.h"
#include "codec/compressed_header.h"
#include "codec/little_endian.h"
#include "codec/sub_block_record.h"
#include "codec/wave_header.h"
#include "codec/wave_reader.h"

namespace sonocap {

namespace {

constexpr uint64_t kLargestSizeField = std::numeric_limits<uint32_t>::max();
constexpr uint32_t kLargestPacketWords = MaxPacketWords(kMaxBlockFrames);
// The chunks in front of a WAV's samples that are looked at; a recording's are 36 bytes.
constexpr size_t kWaveHeadBytes = 64 << 10;
constexpr size_t kWindowBytes = 256 << 10;
static_assert(RecordBytes(kLargestPacketWords) <= kWindowBytes);

// A stretch of the file held in memory, moved along as the reads go on.
class Window {
  public:
    Window(PositionalFile& file, uint64_t length)
        : file_(file), length_(length), bytes_(kWindowBytes) {}

    // The `n` bytes at `at` (n at most kWindowBytes); nullptr when the file holds fewer, or
    // when they could not be read (then readFailed is set).
    const uint8_t* Get(uint64_t at, size_t n) {
        if (at > length_ || n > length_ - at) return nullptr;
        if (at < start_ || at + n > start_ + held_) {
            start_ = at;
            const size_t want = static_cast<size_t>(std::min<uint64_t>(kWindowBytes, length_ - at));
            held_ = file_.ReadAt(at, bytes_.data(), want);
            if (held_ < n) {
                readFailed = true;
                held_ = 0;
                return nullptr;
            }
        }
        return bytes_.data() + (at - start_);
    }

    uint64_t length() const { return length_; }
    bool readFailed = false;

  private:
    PositionalFile& file_;
    uint64_t length_;
    std::vector<uint8_t> bytes_;
    uint64_t start_ = 0;
    size_t held_ = 0;
};

FileError At(uint64_t offset, std::string message) {
    return FileError{offset, std::move(message)};
}

void ChangeField(FinishPlan& plan, const uint8_t* header, uint64_t offset, uint64_t value) {
    const uint32_t before = LoadLE32(header + offset);
    const auto after = static_cast<uint32_t>(value);
    if (before != after) plan.fields.push_back({offset, before, after});
}

// A chunk's name is four printable characters: samples of silence are not a chunk.
bool IsChunkName(const uint8_t* p) {
    return std::all_of(p, p + 4, [](uint8_t c) { return c >= 0x20 && c < 0x7F; });
}

// Walks whole chunks from `from` and returns where the walk stopped (the length when the chunks
// fill the rest exactly).
uint64_t EndOfWholeChunksAt(Window& window, uint64_t from) {
    uint64_t pos = from;
    while (const uint8_t* chunk = window.Get(pos, 8)) {
        if (!IsChunkName(chunk)) break;
        const uint32_t chunkBytes = LoadLE32(chunk + 4);
        const uint64_t next = pos + 8 + chunkBytes + (chunkBytes & 1);
        if (next > window.length()) break;
        pos = next;
    }
    return pos;
}

std::optional<FileError> PlanWave(Window& window, const uint8_t* head, size_t headBytes,
                                  FinishPlan& plan) {
    WaveLayout layout;
    if (auto error = ReadWaveLayout(head, headBytes, layout)) {
        if (headBytes < window.length() && layout.dataOffset == 0) {
            error->message += " (only the first " + std::to_string(kWaveHeadBytes) +
                              " bytes are searched for the samples)";
        }
        return error;
    }
    if (!IsRecordingFormat(layout)) return At(20, NotRecordingFormatText(layout));
    const uint64_t length = window.length();
    const uint64_t present = length - layout.dataOffset;
    const uint64_t declared = layout.declaredDataBytes;
    plan.headerBytes = layout.dataOffset;
    plan.declaredFrames = std::min(declared, present) / kBytesPerFrame;
    // A finished file: the samples its header counts, then whole chunks (LIST and the like).
    const bool finished =
        declared <= present && declared % kBytesPerFrame == 0 &&
        EndOfWholeChunksAt(window, layout.dataOffset + declared + (declared & 1)) == length;
    if (window.readFailed) return At(layout.dataOffset, "the file could not be read");
    // Otherwise every whole frame behind the header is a sample the take stored.
    const uint64_t dataBytes = finished ? declared : present - present % kBytesPerFrame;
    plan.newLength = finished ? length : layout.dataOffset + dataBytes;
    if (plan.newLength - 8 > kLargestSizeField) {
        return At(4, "too long for a WAV file's 32-bit sizes");
    }
    if (plan.newLength < length) plan.cutReason = "a torn last frame";
    plan.frames = dataBytes / kBytesPerFrame;
    ChangeField(plan, head, 4, plan.newLength - 8);
    ChangeField(plan, head, layout.dataOffset - 4, dataBytes);
    return std::nullopt;
}

// One record that frames well and decodes, or why not.
struct RecordCheck {
    std::optional<FileError> fault;
    bool torn = false;  // the record is cut short by the end of the file
    uint64_t bytes = 0;
    int32_t frames = 0;
};

class RecordChecker {
  public:
    explicit RecordChecker(Window& window) : window_(window) {}

    RecordCheck Check(uint64_t at) {
        RecordCheck check;
        const uint64_t left = window_.length() - at;
        const uint8_t* lead = window_.Get(at, 2);
        if (lead == nullptr) {
            check.torn = !window_.readFailed;
            check.fault = At(at, "truncated record: no room for its word count");
            return check;
        }
        const uint16_t words = LoadLE16(lead);
        if (words == 0) {
            check.fault = At(at, "record length 0");
            return check;
        }
        if (words > kLargestPacketWords) {
            check.fault =
                At(at, "record of " + std::to_string(words) + " words is longer than any packet (" +
                           std::to_string(kLargestPacketWords) + " words)");
            return check;
        }
        check.bytes = RecordBytes(words);
        if (check.bytes > left) {
            check.torn = true;
            check.fault =
                At(at, "record of " + std::to_string(words) + " words runs past the end (" +
                           std::to_string(left) + " bytes left)");
            return check;
        }
        const uint8_t* record = window_.Get(at, static_cast<size_t>(check.bytes));
        if (record == nullptr) {
            check.fault = At(at, "the file could not be read");
            return check;
        }
        const uint16_t trailing = LoadLE16(record + check.bytes - 2);
        if (trailing != words) {
            check.fault =
                At(at + check.bytes - 2, "record's closing word count " + std::to_string(trailing) +
                                             " differs from its opening " + std::to_string(words));
            return check;
        }
        const DecodeResult decoded =
            BlockDecoder::decodeStoredBlock(record + 2, words, frames_.data());
        if (decoded.status != DecodeStatus::Ok) {
            check.fault = At(at, std::string("bad packet: ") + DecodeStatusText(decoded.status));
            return check;
        }
        check.frames = decoded.frameCount;
        return check;
    }

    // The first offset from `from` on where a record frames well and decodes.
    std::optional<uint64_t> NextValid(uint64_t from) {
        for (uint64_t at = from; at + kRecordFramingBytes <= window_.length(); ++at) {
            const uint8_t* lead = window_.Get(at, 2);
            if (lead == nullptr) return std::nullopt;
            const uint16_t words = LoadLE16(lead);
            if (words == 0 || words > kLargestPacketWords) continue;
            const uint64_t bytes = RecordBytes(words);
            if (bytes > window_.length() - at) continue;
            const uint8_t* trail = window_.Get(at + bytes - 2, 2);
            if (trail == nullptr || LoadLE16(trail) != words) continue;
            if (!Check(at).fault) return at;
        }
        return std::nullopt;
    }

  private:
    Window& window_;
    std::vector<int16_t> frames_ = std::vector<int16_t>(2 * kMaxBlockFrames);
};

std::optional<FileError> PlanCompressed(Window& window, const uint8_t* head, FinishPlan& plan) {
    CompressedFileReader constants(head, kCompressedHeaderBytes);
    if (auto error = constants.ReadHeaderToEnd()) return error;
    const CompressedHeaderFields header = constants.Header();
    plan.compressed = true;
    plan.headerBytes = kCompressedHeaderBytes;
    plan.declaredFrames = header.uncompressedSize / kBytesPerFrame;

    RecordChecker checker(window);
    uint64_t at = kCompressedHeaderBytes;
    RecordCheck check;
    while (at < window.length()) {
        check = checker.Check(at);
        if (check.fault) break;
        at += check.bytes;
        plan.frames += static_cast<uint64_t>(check.frames);
    }
    if (window.readFailed) return At(at, "the file could not be read");
    plan.newLength = at;
    if (check.fault) {
        plan.cutReason = check.torn
                             ? "a torn last record"
                             : "not a record (offset " + std::to_string(check.fault->offset) +
                                   ": " + check.fault->message + ")";
        plan.resumeAt = checker.NextValid(at + 1);
        // A finished header that counts bytes the file holds past the fault: that is audio.
        const bool declaredPastFault = (header.fileSize != 0 || header.uncompressedSize != 0) &&
                                       header.fileSize > at && header.fileSize <= window.length() &&
                                       !check.torn;
        if (plan.resumeAt || declaredPastFault) {
            plan.damage = check.fault;
            if (plan.resumeAt) {
                for (uint64_t next = *plan.resumeAt; next < window.length();) {
                    const RecordCheck after = checker.Check(next);
                    if (after.fault) break;
                    plan.framesAfterDamage += static_cast<uint64_t>(after.frames);
                    next += after.bytes;
                }
            } else if (plan.declaredFrames > plan.frames) {
                plan.framesAfterDamage = plan.declaredFrames - plan.frames;
            }
        }
    }
    if (plan.newLength > kLargestSizeField || kBytesPerFrame * plan.frames > kLargestSizeField) {
        return At(4, "too long for a Compaxa file's 32-bit sizes");
    }
    ChangeField(plan, head, 4, plan.newLength);
    ChangeField(plan, head, 8, kBytesPerFrame * plan.frames);
    return std::nullopt;
}

}  // namespace

std::optional<FileError> PlanFinish(PositionalFile& file, FinishPlan& plan) {
    plan = FinishPlan{};
    const int64_t length = file.Length();
    if (length < 0) return At(0, "the file's length could not be found");
    plan.length = static_cast<uint64_t>(length);
    plan.newLength = plan.length;
    Window window(file, plan.length);
    const size_t headBytes = static_cast<size_t>(std::min<uint64_t>(kWaveHeadBytes, plan.length));
    std::vector<uint8_t> head(headBytes);
    if (file.ReadAt(0, head.data(), headBytes) != headBytes) {
        return At(0, "the file could not be read");
    }
    if (headBytes >= 4 && LoadLE32(head.data()) == kCompressedMagic) {
        if (headBytes < static_cast<size_t>(kCompressedHeaderBytes)) {
            return At(0, "file of " + std::to_string(headBytes) + " bytes is shorter than the " +
                             std::to_string(kCompressedHeaderBytes) + "-byte header");
        }
        return PlanCompressed(window, head.data(), plan);
    }
    if (headBytes >= 12 && std::memcmp(head.data(), "RIFF", 4) == 0 &&
        std::memcmp(head.data() + 8, "WAVE", 4) == 0) {
        return PlanWave(window, head.data(), headBytes, plan);
    }
    return At(0, "neither a WAV nor a Compaxa recording");
}

bool ApplyFinish(PositionalFile& file, const FinishPlan& plan) {
    if (plan.newLength < plan.length && !file.Truncate(plan.newLength)) return false;
    for (const SizeFieldChange& field : plan.fields) {
        uint8_t bytes[4];
        StoreLE32(bytes, field.after);
        if (!file.WriteAt(field.offset, bytes, sizeof bytes)) return false;
    }
    return true;
}

}  // namespace sonocap
