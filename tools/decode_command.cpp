#include <cstdio>
#include <limits>
#include <string>

#include "codec/compressed_file_reader.h"
#include "codec/wave_header.h"
#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/host_samples.h"
#include "tools/input_file.h"
#include "tools/output_file.h"
#include "tools/progress_bar.h"
#include "tools/recording_check.h"
#include "tools/report.h"

namespace sonocap {

namespace {

constexpr char kUsage[] =
    "usage: sonocap-cx decode [--force] [--sync] IN.cx OUT.wav\n"
    "\n"
    "Decodes a Compaxa file into a WAV file (44-byte header, 16-bit stereo 44100 Hz PCM).\n"
    "Every record is checked; a damaged file is reported with the offset of the fault and\n"
    "nothing is left under OUT's name. IN and OUT may be - for standard input and output; the\n"
    "WAV's sizes come from the Compaxa header, so a WAV on a pipe is complete. A progress bar\n"
    "appears on standard error when that is a terminal.\n"
    "\n";

}  // namespace

int RunDecode(int argc, char** argv) {
    const CommandLine line = SplitCommandLine(argc, argv);
    if (line.Has("--help")) {
        std::fputs(kUsage, stdout);
        std::fputs(kOutputHelp, stdout);
        return kExitOk;
    }
    for (const std::string& option : line.options) {
        if (!IsOutputOption(option)) return ReportUsage(kUsage, "unknown option " + option);
    }
    if (line.operands.size() != 2) return ReportUsage(kUsage, "decode takes IN.cx and OUT.wav");
    const std::string& inPath = line.operands[0];
    const std::string& outPath = line.operands[1];

    InputFile in;
    std::string reason;
    if (!in.Open(inPath, reason)) return ReportError(inPath, reason);
    OutputFile out;
    if (!out.Open(outPath, OutputOptionsOf(line), in)) {
        return ReportOutputError(outPath, out.error());
    }
    if (!in.Load(reason)) return ReportError(inPath, reason);
    if (RecognizeRecording(in.data(), in.size()) == RecordingKind::Wave) {
        return ReportError(inPath, FileError{0,
                                             "a WAV file, not a Compaxa file (encode makes "
                                             "one from it)"});
    }
    CompressedFileReader reader(in.data(), in.size());
    if (auto error = reader.ReadHeader()) return ReportError(inPath, WithRepairHint(*error));
    const uint32_t sampleBytes = reader.header().uncompressedSize;
    if (uint64_t{sampleBytes} + kWaveHeaderBytes > std::numeric_limits<uint32_t>::max()) {
        return ReportError(inPath, "too long for a WAV file (its sizes are 32-bit)");
    }

    // The header's sizes come first, so that a WAV on a pipe is whole; the records must then
    // agree with them, which Finish checks.
    uint8_t header[kWaveHeaderBytes];
    buildWaveHeader(sampleBytes, kSampleRate, kChannels, header);
    out.Write(header, sizeof header);

    int16_t frames[2 * kMaxBlockFrames];
    uint8_t scratch[4 * kMaxBlockFrames];
    ProgressBar progress("decode", in.size());
    while (!reader.AtEnd()) {
        progress.Update(reader.offset());
        DecodedRecord record;
        if (auto error = reader.ReadRecord(frames, record)) return ReportError(inPath, *error);
        const size_t samples = 2 * static_cast<size_t>(record.frameCount);
        if (!out.Write(LittleEndianSamples(frames, samples, scratch), 2 * samples)) {
            return ReportOutputError(outPath, out.error());
        }
    }
    progress.Finish();
    if (auto error = reader.Finish()) return ReportError(inPath, *error);
    if (!out.Commit()) return ReportOutputError(outPath, out.error());
    return kExitOk;
}

}  // namespace sonocap
