#include <cstdio>
#include <limits>
#include <string>

#include "codec/compressed_file_reader.h"
#include "codec/wave_header.h"
#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/host_samples.h"
#include "tools/mapped_file.h"
#include "tools/output_file.h"
#include "tools/progress_bar.h"
#include "tools/report.h"

namespace sonocap {

namespace {

constexpr char kUsage[] =
    "usage: sonocap-cx decode IN.cx OUT.wav\n"
    "\n"
    "Decodes a Compaxa file into a WAV file (44-byte header, 16-bit stereo 44100 Hz PCM).\n"
    "Every record is checked; a damaged file is reported with the offset of the fault and\n"
    "nothing is left under OUT's name. A progress bar appears on standard error when that is a\n"
    "terminal.\n";

}  // namespace

int RunDecode(int argc, char** argv) {
    const CommandLine line = SplitCommandLine(argc, argv);
    if (line.Has("--help")) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (!line.options.empty()) return ReportUsage(kUsage, "unknown option " + line.options[0]);
    if (line.operands.size() != 2) return ReportUsage(kUsage, "decode takes IN.cx and OUT.wav");
    const std::string& inPath = line.operands[0];
    const std::string& outPath = line.operands[1];

    MappedFile in;
    std::string reason;
    if (!in.Open(inPath, reason)) return ReportError(inPath, reason);
    CompressedFileReader reader(in.data(), in.size());
    if (auto error = reader.ReadHeader()) return ReportError(inPath, *error);
    if (uint64_t{reader.Header().uncompressedSize} + kWaveHeaderBytes >
        std::numeric_limits<uint32_t>::max()) {
        return ReportError(inPath, "too long for a WAV file (its sizes are 32-bit)");
    }

    OutputFile out;
    if (!out.Create(outPath)) return ReportError(outPath, out.error());
    uint8_t header[kWaveHeaderBytes];
    buildWaveHeader(0, kSampleRate, kChannels, header);
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
            return ReportError(outPath, out.error());
        }
    }
    progress.Finish();
    if (auto error = reader.Finish()) return ReportError(inPath, *error);
    buildWaveHeader(static_cast<uint32_t>(4 * reader.framesDecoded()), kSampleRate, kChannels,
                    header);
    if (!out.WriteAt(0, header, sizeof header) || !out.Commit()) {
        return ReportError(outPath, out.error());
    }
    return kExitOk;
}

}  // namespace sonocap
