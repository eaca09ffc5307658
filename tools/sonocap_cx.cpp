#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <system_error>
#include <vector>

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

const sonocap::CommandRow* const kCommands[] = {&sonocap::kEncodeCommand, &sonocap::kDecodeCommand,
                                                &sonocap::kVerifyCommand, &sonocap::kInfoCommand,
                                                &sonocap::kRepairCommand};

// Help, options, values and operands, checked alike for every command before it runs.
int Run(const sonocap::CommandRow& command, int argc, char** argv) {
    using sonocap::ReportUsage;
    const std::string usage = command.help.front();
    std::vector<const char*> valueNames;
    for (const auto& option : command.valueOptions) valueNames.push_back(option.first.c_str());
    const sonocap::CommandLine line = sonocap::SplitCommandLine(argc, argv, valueNames);
    if (line.Has("--help")) {
        for (const char* text : command.help) std::fputs(text, stdout);
        return sonocap::kExitOk;
    }
    for (const std::string& option : line.options) {
        bool known =
            std::find(command.flags.begin(), command.flags.end(), option) != command.flags.end();
        for (const auto& value : command.valueOptions) known = known || value.first == option;
        if (!known) return ReportUsage(usage.c_str(), "unknown option " + option);
    }
    for (const auto& value : command.valueOptions) {
        if (line.missingValue == value.first) return ReportUsage(usage.c_str(), value.second);
    }
    if (line.operands.size() != command.operands) {
        return ReportUsage(usage.c_str(), command.operandsText);
    }
    return command.run(line);
}

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
    for (const sonocap::CommandRow* row : kCommands) {
        if (std::strcmp(command, row->name) != 0) continue;
        int status = sonocap::kExitBadInput;
        try {
            status = Run(*row, argc - 2, argv + 2);
        } catch (const std::bad_alloc&) {
            // The command's files are closed and its temporary output removed on the way here.
            std::fputs("sonocap-cx: out of memory\n", stderr);
        } catch (const std::system_error& error) {  // a worker thread that could not start
            std::fprintf(stderr,
                         "sonocap-cx: cannot start a worker thread: %s (fewer --threads?)\n",
                         error.code().message().c_str());
        }
        return sonocap::FinishStandardOutput(status);
    }
    return sonocap::ReportUsage(kUsage, std::string("unknown command '") + command + "'");
}
