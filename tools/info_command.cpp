#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>

#include "codec/compressed_header.h"
#include "codec/duration_text.h"
#include "codec/packet_format.h"
#include "codec/recording_check.h"
#include "codec/wave_header.h"
#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/host_samples.h"
#include "tools/input_file.h"
#include "tools/peak_level.h"
#include "tools/report.h"

namespace sonocap {

namespace {

constexpr char kUsage[] =
    "usage: sonocap-cx info [--json] FILE.cx|FILE.wav\n"
    "\n"
    "Describes a recording: format, duration (h:mm:ss.hundredths), frames, sizes, compression\n"
    "ratio, the peak level of each channel in dB, and for a Compaxa file how many records of\n"
    "each channel use each code length and each difference order. The file is checked\n"
    "completely first. --json prints one JSON object instead, for scripts (bytes of the file\n"
    "name that are not UTF-8 appear as \\udcXX). FILE may be - for standard input.\n";

// How the records of one channel were coded.
struct ChannelCoding {
    std::array<uint64_t, kMaxCodeLength + 1> codeLengths{};  // records per code length 1..15
    uint64_t order2 = 0;
    uint64_t order3 = 0;
};

struct Description {
    std::string path;
    std::string format;  // "Compaxa" or "WAV"
    uint64_t frames = 0;
    uint64_t fileBytes = 0;
    uint64_t sampleBytes = 0;  // bytes of the samples as PCM
    uint64_t records = 0;      // Compaxa only
    PeakLevel peak;
    ChannelCoding left, right;
};

std::string Percent(uint64_t part, uint64_t whole) {
    char text[32];
    std::snprintf(text, sizeof text, "%5.1f %%", whole == 0 ? 0.0 : 100.0 * part / whole);
    return text;
}

// Uncompressed bytes per compressed byte, the way compression ratios are usually told.
double Ratio(const Description& d) {
    return d.fileBytes == 0 ? 0.0 : static_cast<double>(d.sampleBytes) / d.fileBytes;
}

void PrintText(const Description& d) {
    std::printf("file:          %s\n", QuotedName(d.path).c_str());
    std::printf("format:        %s, %s\n", d.format.c_str(), kRecordingFormatText);
    std::printf("duration:      %s\n", FormatDuration(d.frames).c_str());
    std::printf("frames:        %llu\n", static_cast<unsigned long long>(d.frames));
    std::printf("file size:     %llu bytes\n", static_cast<unsigned long long>(d.fileBytes));
    std::printf("samples:       %llu bytes as PCM\n",
                static_cast<unsigned long long>(d.sampleBytes));
    std::printf("ratio:         %.3f (the file is %.1f %% of the PCM size)\n", Ratio(d),
                d.sampleBytes == 0 ? 0.0 : 100.0 * d.fileBytes / d.sampleBytes);
    std::printf("peak:          left %s, right %s\n", PeakDecibelsText(d.peak.left).c_str(),
                PeakDecibelsText(d.peak.right).c_str());
    if (d.format != "Compaxa") return;
    std::printf("records:       %llu\n", static_cast<unsigned long long>(d.records));
    std::printf("code length    left                right\n");
    for (int k = kMinCodeLength; k <= kMaxCodeLength; ++k) {
        const uint64_t l = d.left.codeLengths[k], r = d.right.codeLengths[k];
        if (l == 0 && r == 0) continue;
        std::printf("  %2d bits      %8llu %s    %8llu %s\n", k, static_cast<unsigned long long>(l),
                    Percent(l, d.records).c_str(), static_cast<unsigned long long>(r),
                    Percent(r, d.records).c_str());
    }
    std::printf("order\n");
    std::printf(
        "  2            %8llu %s    %8llu %s\n", static_cast<unsigned long long>(d.left.order2),
        Percent(d.left.order2, d.records).c_str(), static_cast<unsigned long long>(d.right.order2),
        Percent(d.right.order2, d.records).c_str());
    std::printf(
        "  3            %8llu %s    %8llu %s\n", static_cast<unsigned long long>(d.left.order3),
        Percent(d.left.order3, d.records).c_str(), static_cast<unsigned long long>(d.right.order3),
        Percent(d.right.order3, d.records).c_str());
}

// The length of the well-formed UTF-8 sequence at s[i], or 0 when there is none.
size_t Utf8SequenceLength(const std::string& s, size_t i) {
    const auto byte = [&s](size_t at) { return static_cast<unsigned char>(s[at]); };
    const unsigned char lead = byte(i);
    size_t length = 0;
    uint32_t low = 0;  // the smallest code point of that length: longer forms are refused
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, low = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, low = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, low = 0x10000;
    } else {
        return 0;
    }
    if (i + length > s.size()) return 0;
    uint32_t code = lead & (0x3F >> (length - 1));
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = code << 6 | (byte(i + k) & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code < low || code > 0x10FFFF || surrogate ? 0 : length;
}

// A JSON string for any bytes: a byte that is not part of valid UTF-8 (a file name may hold any)
// becomes the escape \udcXX, as Python's "surrogateescape" writes it, so no byte is lost.
std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        char escape[8];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20) {
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
            ++i;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else if (const size_t length = Utf8SequenceLength(s, i); length > 0) {
            out.append(s, i, length);
            i += length;
        } else {
            std::snprintf(escape, sizeof escape, "\\udc%02x", c);
            out += escape;
            ++i;
        }
    }
    return out + "\"";
}

std::string JsonDecibels(int32_t peak) {
    if (peak == 0) return "null";  // -infinity has no JSON number
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", PeakDecibels(peak));
    return text;
}

std::string JsonCoding(const ChannelCoding& c) {
    std::string json = "{\"codeLengths\": {";
    for (int k = kMinCodeLength; k <= kMaxCodeLength; ++k) {
        json += (k > kMinCodeLength ? ", \"" : "\"") + std::to_string(k) +
                "\": " + std::to_string(c.codeLengths[k]);
    }
    return json + "}, \"orders\": {\"2\": " + std::to_string(c.order2) +
           ", \"3\": " + std::to_string(c.order3) + "}}";
}

void PrintJson(const Description& d) {
    char seconds[32], ratio[32];
    std::snprintf(seconds, sizeof seconds, "%.6f", static_cast<double>(d.frames) / kSampleRate);
    std::snprintf(ratio, sizeof ratio, "%.6f", Ratio(d));
    std::string json =
        "{\"file\": " + JsonString(d.path) + ", \"format\": " + JsonString(d.format) +
        ", \"sampleRate\": " + std::to_string(kSampleRate) +
        ", \"channels\": " + std::to_string(kChannels) +
        ", \"bitsPerSample\": " + std::to_string(kBitsPerSample) +
        ", \"frames\": " + std::to_string(d.frames) + ", \"seconds\": " + seconds +
        ", \"duration\": " + JsonString(FormatDuration(d.frames)) +
        ", \"fileBytes\": " + std::to_string(d.fileBytes) +
        ", \"sampleBytes\": " + std::to_string(d.sampleBytes) + ", \"ratio\": " + ratio +
        ", \"peakDb\": {\"left\": " + JsonDecibels(d.peak.left) +
        ", \"right\": " + JsonDecibels(d.peak.right) + "}";
    if (d.format == "Compaxa") {
        json += ", \"records\": " + std::to_string(d.records) +
                ", \"left\": " + JsonCoding(d.left) + ", \"right\": " + JsonCoding(d.right);
    }
    std::printf("%s}\n", json.c_str());
}

void CountCoding(uint32_t headerWord, int lengthShift, int orderShift, ChannelCoding& c) {
    ++c.codeLengths[((headerWord >> lengthShift) & 0xF) + 1];
    if ((headerWord >> orderShift) & 1) {
        ++c.order3;
    } else {
        ++c.order2;
    }
}

Outcome RunInfo(const CommandLine& line) {
    Description d;
    d.path = line.operands[0];

    InputFile in;
    if (auto failure = in.Open(d.path)) return failure;
    ByteWindow window(in);
    switch (RecognizeRecording(window)) {
        case RecordingKind::Compressed: {
            d.format = "Compaxa";
            const auto visit = [&d](const DecodedRecord& record, const int16_t* frames,
                                    uint64_t) -> std::optional<FileError> {
                CountCoding(record.headerWord, kLeftCodeLengthShift, kLeftOrderShift, d.left);
                CountCoding(record.headerWord, kRightCodeLengthShift, kRightOrderShift, d.right);
                d.peak.Add(frames, static_cast<size_t>(record.frameCount));
                return std::nullopt;
            };
            CompressedCheck check;
            if (auto error = CheckCompressedFile(window, check, visit)) {
                return BadInput(d.path, WithRepairHint(*error));
            }
            d.frames = check.frames;
            d.records = check.records;
            d.sampleBytes = check.header.uncompressedSize;
            break;
        }
        case RecordingKind::Wave: {
            d.format = "WAV";
            WaveLayout layout;
            const auto visit = [&d](const uint8_t* samples, size_t frames) {
                static int16_t scratch[2 * 16384];
                for (size_t first = 0; first < frames; first += 16384) {
                    const size_t count = std::min<size_t>(16384, frames - first);
                    d.peak.Add(HostSamples(samples + first * kBytesPerFrame, 2 * count, scratch),
                               count);
                }
            };
            if (auto error = CheckWaveFile(window, layout, visit)) {
                return BadInput(d.path, WithRepairHint(*error));
            }
            d.sampleBytes = layout.declaredDataBytes;
            d.frames = d.sampleBytes / kBytesPerFrame;
            break;
        }
        case RecordingKind::Unknown:
            if (window.Error()) return BadInput(d.path, *window.Error());
            return BadInput(d.path, FileError{0, "neither a Compaxa nor a WAV file"});
    }
    d.fileBytes = window.Length();
    if (line.Has("--json")) {
        PrintJson(d);
    } else {
        PrintText(d);
    }
    return std::nullopt;
}

}  // namespace

const CommandRow kInfoCommand{"info", {kUsage}, {"--json"}, {}, 1, "info takes one FILE", RunInfo};

}  // namespace sonocap
