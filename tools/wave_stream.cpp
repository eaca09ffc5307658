#include "tools/wave_stream.h"

#include <algorithm>
#include <cstring>

#include "codec/wave_header.h"
#include "tools/input_file.h"

namespace sonocap {

namespace {

constexpr size_t kFirstRead = 64 << 10;
// Chunks before the samples beyond this are not a recording's.
constexpr size_t kLargestHead = 16 << 20;

// Data sizes that programs streaming audio write when they cannot know the length.
bool MeansUnknownLength(uint32_t dataBytes) {
    return dataBytes == 0xFFFFFFFFu || dataBytes == 0x7FFFF000u || dataBytes == 0;
}

// The input after the samples: what the head already holds of it, then the rest.
class BytesAfterSamples : public ByteSource {
  public:
    BytesAfterSamples(InputFile& in, const uint8_t* held, size_t heldBytes)
        : in_(in), held_(held), heldBytes_(heldBytes) {}
    std::optional<std::string> ReadSome(uint8_t* into, size_t bytes, size_t& got) override {
        got = std::min(bytes, heldBytes_);
        std::memcpy(into, held_, got);
        held_ += got;
        heldBytes_ -= got;
        if (got == bytes) return std::nullopt;
        size_t more = 0;
        if (auto failure = in_.Read(into + got, bytes - got, more)) return failure->error;
        got += more;
        return std::nullopt;
    }

  private:
    InputFile& in_;
    const uint8_t* held_;
    size_t heldBytes_;
};

}  // namespace

Outcome CheckAfterSamples(InputFile& in, WaveStream& stream) {
    if (stream.toEnd) return std::nullopt;
    const uint64_t end = stream.layout.dataOffset + stream.dataBytes;
    const size_t held =
        stream.head.size() > end ? static_cast<size_t>(stream.head.size() - end) : 0;
    BytesAfterSamples source(in, stream.head.data() + (stream.head.size() - held), held);
    ByteWindow rest(source, 64 << 10);
    const uint64_t chunks = EndOfWholeChunks(rest, 0);
    const uint64_t length = rest.Length();
    if (rest.Error()) return BadInput(in.Path(), FileError{end + length, *rest.Error()});
    if (chunks == length) return std::nullopt;
    return BadInput(in.Path(),
                    WithRepairHint(FileError{stream.layout.dataOffset - 4,
                                             "data size field " + std::to_string(stream.dataBytes) +
                                                 " does not match the " +
                                                 std::to_string(stream.dataBytes + length) +
                                                 " bytes after the data chunk's header"}));
}

Outcome OpenWaveStream(InputFile& in, WaveStream& stream) {
    stream = WaveStream{};
    const auto fault = [&in](uint64_t offset, std::string message) {
        return BadInput(in.Path(), FileError{offset, std::move(message)});
    };
    bool atEnd = false;
    for (size_t want = kFirstRead;; want *= 2) {
        const size_t had = stream.head.size();
        stream.head.resize(want);
        size_t got = 0;
        if (auto failure = in.Read(stream.head.data() + had, want - had, got)) return failure;
        stream.head.resize(had + got);
        atEnd = had + got < want;
        const auto error = ReadWaveLayout(stream.head.data(), stream.head.size(), stream.layout);
        // Until the input ends, a fault may only mean that the chunks go on beyond what was read.
        if (!error) break;
        if (atEnd || want >= kLargestHead) return BadInput(in.Path(), *error);
    }
    const WaveLayout& wave = stream.layout;
    if (!IsRecordingFormat(wave)) {
        return fault(
            20, DescribeWaveFormat(wave) + ": only " + kRecordingFormatText + " can be encoded");
    }
    const uint64_t sizeField = wave.dataOffset - 4;
    const uint32_t declared = wave.declaredDataBytes;
    if (!in.IsRegular() && MeansUnknownLength(declared)) {
        stream.toEnd = true;
        return std::nullopt;
    }
    // What the input holds behind the data chunk's header: known for a file, and for a pipe
    // once it has ended within what was read.
    const bool lengthKnown = in.IsRegular() || atEnd;
    const uint64_t present =
        in.IsRegular() ? in.LengthAtOpen() - wave.dataOffset : stream.head.size() - wave.dataOffset;
    if (lengthKnown && declared == 0 && present > 0) {
        return fault(sizeField, "data chunk of 0 bytes with " + std::to_string(present) +
                                    " bytes behind it: an unfinished recording? "
                                    "sonocap-cx repair rebuilds its header");
    }
    if (lengthKnown && present < declared) {
        return fault(sizeField, "data chunk declares " + std::to_string(declared) +
                                    " bytes but the file holds only " + std::to_string(present));
    }
    if (declared % kBytesPerFrame != 0) {
        return fault(sizeField, "data chunk of " + std::to_string(declared) +
                                    " bytes is not a whole number of frames");
    }
    stream.dataBytes = declared;
    return std::nullopt;
}

Outcome ReadSamples(InputFile& in, WaveStream& stream, uint8_t* into, size_t bytes, size_t& got) {
    got = 0;
    if (!stream.toEnd)
        bytes =
            static_cast<size_t>(std::min<uint64_t>(bytes, stream.dataBytes - stream.samplesRead));
    const uint64_t inHead = stream.layout.dataOffset + stream.samplesRead;
    if (inHead < stream.head.size()) {
        got = static_cast<size_t>(std::min<uint64_t>(bytes, stream.head.size() - inHead));
        std::memcpy(into, stream.head.data() + inHead, got);
    }
    if (got < bytes) {
        size_t more = 0;
        if (auto failure = in.Read(into + got, bytes - got, more)) return failure;
        got += more;
    }
    stream.samplesRead += got;
    if (got < bytes && !stream.toEnd) {
        return BadInput(
            in.Path(),
            FileError{stream.layout.dataOffset - 4,
                      "data chunk declares " + std::to_string(stream.dataBytes) +
                          " bytes but the input holds only " + std::to_string(stream.samplesRead)});
    }
    return std::nullopt;
}

}  // namespace sonocap
