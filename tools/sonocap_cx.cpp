#include <cstdio>
#include <cstring>

#include "tools/commands.h"
#include "tools/report.h"

namespace {

constexpr char kUsage[] =
    "usage: sonocap-cx COMMAND [--help] ARGS\n"
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
    "Exit status: 0 success, 1 bad input, 2 bad usage.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return sonocap::ReportUsage(kUsage, "no command given");
    const char* command = argv[1];
    if (std::strcmp(command, "--help") == 0 || std::strcmp(command, "-h") == 0 ||
        std::strcmp(command, "help") == 0) {
        std::fputs(kUsage, stdout);
        return sonocap::kExitOk;
    }
    if (std::strcmp(command, "encode") == 0) return sonocap::RunEncode(argc - 2, argv + 2);
    if (std::strcmp(command, "decode") == 0) return sonocap::RunDecode(argc - 2, argv + 2);
    if (std::strcmp(command, "verify") == 0) return sonocap::RunVerify(argc - 2, argv + 2);
    if (std::strcmp(command, "info") == 0) return sonocap::RunInfo(argc - 2, argv + 2);
    if (std::strcmp(command, "repair") == 0) return sonocap::RunRepair(argc - 2, argv + 2);
    return sonocap::ReportUsage(kUsage, std::string("unknown command '") + command + "'");
}
