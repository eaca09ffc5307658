#include <csignal>
#include <cstdio>
#include <cstring>

#include "codec/compressed_header.h"
#include "tools/commands.h"
#include "tools/report.h"

namespace {

constexpr char kUsage[] =
    "usage: sonocap-cx COMMAND [--help] ARGS\n"
    "       sonocap-cx --version\n"
    "\n"
    "Companion of the Sonocap recorder for its Compaxa (.cx) recordings.\n"
    "\n"
    "commands:\n"
    "  encode IN.wav OUT.cx   compress a 16-bit stereo 44100 Hz WAV file exactly as the\n"
    "                         recorder would have written it\n"
    "  decode IN.cx OUT.wav   decode a Compaxa file to a WAV file, checking every record\n"
    "  verify FILE            check a recording completely (--against FILE.wav: and compare\n"
    "                         it with a WAV file sample for sample)\n"
    "  info FILE              format, duration, sizes, ratio, peaks, coding (--json)\n"
    "  repair FILE            rebuild the header of a recording that never reached its stop\n"
    "\n"
    "IN and OUT may be - for standard input and output. An existing OUT is replaced only with\n"
    "--force; see COMMAND --help for what every command that writes guarantees.\n"
    "\n"
    "Exit status: 0 success, 1 bad input, 2 bad usage, 3 the output could not be written.\n";

}  // namespace

int main(int argc, char** argv) {
    // A file grown past the size limit (ulimit -f) fails its write with EFBIG, which is told.
    std::signal(SIGXFSZ, SIG_IGN);
    if (argc < 2) return sonocap::ReportUsage(kUsage, "no command given");
    const char* command = argv[1];
    if (std::strcmp(command, "--help") == 0 || std::strcmp(command, "-h") == 0 ||
        std::strcmp(command, "help") == 0) {
        std::fputs(kUsage, stdout);
        return sonocap::FinishStandardOutput(sonocap::kExitOk);
    }
    if (std::strcmp(command, "--version") == 0) {
        std::printf(
            "sonocap-cx %s\nCompaxa format: magic 0x%08X, %d-byte header, 44100 Hz, 16-bit "
            "stereo\n",
            SONOCAP_VERSION, sonocap::kCompressedMagic, sonocap::kCompressedHeaderBytes);
        return sonocap::FinishStandardOutput(sonocap::kExitOk);
    }
    int (*run)(int, char**) = nullptr;
    if (std::strcmp(command, "encode") == 0) run = sonocap::RunEncode;
    if (std::strcmp(command, "decode") == 0) run = sonocap::RunDecode;
    if (std::strcmp(command, "verify") == 0) run = sonocap::RunVerify;
    if (std::strcmp(command, "info") == 0) run = sonocap::RunInfo;
    if (std::strcmp(command, "repair") == 0) run = sonocap::RunRepair;
    if (run == nullptr) {
        return sonocap::ReportUsage(kUsage, std::string("unknown command '") + command + "'");
    }
    return sonocap::FinishStandardOutput(run(argc - 2, argv + 2));
}
