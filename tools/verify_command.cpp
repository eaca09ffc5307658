#include <algorithm>
#include <cstdio>
#include <string>

#include "codec/capture_buffer_encoding.h"
#include "codec/duration_text.h"
#include "codec/recording_check.h"
#include "codec/wave_header.h"
#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/host_samples.h"
#include "tools/input_file.h"
#include "tools/report.h"

namespace sonocap {

namespace {

constexpr char kUsage[] =
    "usage: sonocap-cx verify FILE.cx [--against FILE.wav]\n"
    "       sonocap-cx verify FILE.wav\n"
    "\n"
    "Checks a recording completely and prints a one-line verdict. For a Compaxa file: the\n"
    "header, both word counts of every record, every packet decoding to exactly its words, and\n"
    "the header's sizes against the records. With --against, every decoded sample must also\n"
    "equal the WAV file's (whose last frames, at most 7, may be the ones a recording drops).\n"
    "For a WAV file: the recording's format and size fields that match the file.\n"
    "The format has no checksum: \"ok\" says that the file is whole and every record decodes,\n"
    "not that no sample changed since it was written; only --against finds a changed sample.\n"
    "FILE (or the WAV of --against) may be - for standard input.\n"
    "Exit status 0 only when everything holds.\n";

// The frames of a WAV that a recording of it stores: whole buffers, then eight equal sub-blocks.
uint64_t StoredFrames(uint64_t frames) {
    const uint64_t whole = frames / kFramesPerCaptureBuffer * kFramesPerCaptureBuffer;
    return whole + static_cast<uint64_t>(SubBlockFrames(static_cast<int32_t>(frames - whole))) *
                       kSubBlocksPerBuffer;
}

std::string SampleMismatch(uint64_t frame, int channel, int16_t decoded, int16_t expected) {
    return "frame " + std::to_string(frame) + " (" + FormatDuration(frame) + ") " +
           (channel == 0 ? "left" : "right") + ": decoded " + std::to_string(decoded) +
           ", the WAV has " + std::to_string(expected);
}

Outcome VerifyWave(const std::string& path, ByteWindow& window) {
    WaveLayout layout;
    if (auto error = CheckWaveFile(window, layout)) {
        return BadInput(path, WithRepairHint(*error));
    }
    const uint64_t frames = layout.declaredDataBytes / kBytesPerFrame;
    std::printf("%s: ok: WAV, %llu frames (%s)\n", QuotedName(path).c_str(),
                static_cast<unsigned long long>(frames), FormatDuration(frames).c_str());
    return std::nullopt;
}

Outcome RunVerify(const CommandLine& line) {
    const auto value = line.values.find("--against");
    const std::string againstPath = value == line.values.end() ? "" : value->second;
    const std::vector<std::string>& operands = line.operands;
    const std::string& path = operands[0];
    if (path == "-" && againstPath == "-") {
        return BadUsage(line.command, "standard input can be only one of the two files");
    }

    InputFile in;
    if (auto failure = in.Open(path)) return failure;
    ByteWindow window(in);
    const RecordingKind kind = RecognizeRecording(window);
    if (kind == RecordingKind::Wave && againstPath.empty()) return VerifyWave(path, window);
    if (kind != RecordingKind::Compressed) {
        return BadInput(path, FileError{0, kind == RecordingKind::Wave
                                               ? "--against compares a Compaxa file with a "
                                                 "WAV file, and this is a WAV file"
                                               : "neither a Compaxa nor a WAV file"});
    }

    InputFile against;
    std::optional<ByteWindow> againstWindow;
    WaveLayout wave;
    uint64_t waveFrames = 0;
    if (!againstPath.empty()) {
        if (auto failure = against.Open(againstPath)) return failure;
        againstWindow.emplace(against);
        if (auto error = ReadWaveLayout(*againstWindow, wave)) {
            return BadInput(againstPath, *error);
        }
        if (!IsRecordingFormat(wave)) return BadInput(againstPath, NotRecordingFormatText(wave));
        waveFrames = wave.presentDataBytes / kBytesPerFrame;
    }

    // The WAV's samples are read in step with the records.
    const auto compare = [&](const DecodedRecord& record, const int16_t* frames,
                             uint64_t firstFrame) -> std::optional<FileError> {
        if (!againstWindow) return std::nullopt;
        const uint64_t count = static_cast<uint64_t>(record.frameCount);
        const uint64_t at = wave.dataOffset + firstFrame * kBytesPerFrame;
        const size_t held = againstWindow->Reach(at, static_cast<size_t>(count * kBytesPerFrame));
        if (againstWindow->Error())
            return FileError{record.offset, againstPath + ": " + *againstWindow->Error()};
        if (held < count * kBytesPerFrame) waveFrames = firstFrame + held / kBytesPerFrame;
        if (firstFrame + count > waveFrames) {
            return FileError{record.offset, "the records hold more frames than the " +
                                                std::to_string(waveFrames) + " of " + againstPath};
        }
        const uint8_t* expected = againstWindow->At(at);
        for (uint64_t i = 0; i < 2 * count; ++i) {
            const auto want = static_cast<int16_t>(LoadLE16(expected + 2 * i));
            if (frames[i] != want) {
                return FileError{record.offset,
                                 "differs from " + againstPath + " at " +
                                     SampleMismatch(firstFrame + i / 2, static_cast<int>(i % 2),
                                                    frames[i], want)};
            }
        }
        return std::nullopt;
    };
    CompressedCheck check;
    if (auto error = CheckCompressedFile(window, check, compare)) {
        return BadInput(path, WithRepairHint(*error));
    }
    std::string verdict = std::to_string(check.records) + " records, " +
                          std::to_string(check.frames) + " frames (" +
                          FormatDuration(check.frames) + "), sizes agree";
    if (againstWindow) {
        if (!againstWindow->LengthKnown()) {
            // A stream's samples are counted to their end.
            const uint64_t end = wave.dataOffset + wave.declaredDataBytes;
            const uint64_t length = againstWindow->Length();
            waveFrames = (std::min(end, length) - wave.dataOffset) / kBytesPerFrame;
        }
        if (StoredFrames(waveFrames) != check.frames) {
            return BadInput(path, "holds " + std::to_string(check.frames) + " frames where " +
                                      againstPath + " gives " +
                                      std::to_string(StoredFrames(waveFrames)) +
                                      " stored frames (of its " + std::to_string(waveFrames) + ")");
        }
        verdict += ", identical to " + againstPath + " sample for sample";
        if (waveFrames > check.frames) {
            const uint64_t dropped = waveFrames - check.frames;
            verdict += " (its last " + std::to_string(dropped) +
                       (dropped == 1 ? " frame is" : " frames are") +
                       " dropped, as a recording drops them)";
        }
    }
    std::printf("%s: ok: %s\n", QuotedName(path).c_str(), verdict.c_str());
    return std::nullopt;
}

}  // namespace

const CommandRow kVerifyCommand{"verify", {kUsage},
                                {},       {{"--against", "--against needs a WAV file"}},
                                1,        "verify takes one FILE",
                                RunVerify};

}  // namespace sonocap
