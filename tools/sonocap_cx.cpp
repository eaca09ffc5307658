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
sonocap::Outcome Run(const sonocap::CommandRow& command, int argc, char** argv) {
    using sonocap::BadUsage;
    std::vector<const char*> valueNames;
    for (const auto& option : command.valueOptions) valueNames.push_back(option.first.c_str());
    sonocap::CommandLine line = sonocap::SplitCommandLine(argc, argv, valueNames);
    line.command = command.name;
    if (line.Has("--help")) {
        for (const char* text : command.help) std::fputs(text, stdout);
        return std::nullopt;
    }
    for (const std::string& option : line.options) {
        bool known =
            std::find(command.flags.begin(), command.flags.end(), option) != command.flags.end();
        for (const auto& value : command.valueOptions) known = known || value.first == option;
        if (!known) return BadUsage(line.command, "unknown option " + option);
    }
    for (const auto& value : command.valueOptions) {
        if (line.missingValue == value.first) return BadUsage(line.command, value.second);
    }
    if (line.operands.size() != command.operands) {
        return BadUsage(line.command, command.operandsText);
    }
    return command.run(line);
}

// The command's failure is told first, then standard output's.
int Finish(const sonocap::Outcome& failure) {
    int status = failure ? sonocap::Report(*failure) : sonocap::kExitOk;
    if (const sonocap::Outcome closing = sonocap::CloseStandardOutput()) {
        const int closingStatus = sonocap::Report(*closing);
        if (status == sonocap::kExitOk) status = closingStatus;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    // A file grown past the size limit (ulimit -f) fails its write with EFBIG, which is told.
    std::signal(SIGXFSZ, SIG_IGN);
    if (argc < 2) return sonocap::Report(sonocap::BadUsage("", "no command given"));
    const char* command = argv[1];
    if (std::strcmp(command, "--help") == 0 || std::strcmp(command, "-h") == 0 ||
        std::strcmp(command, "help") == 0) {
        std::fputs(kUsage, stdout);
        return Finish(std::nullopt);
    }
    if (std::strcmp(command, "--version") == 0) {
        std::printf(
            "sonocap-cx %s\nCompaxa format: magic 0x%08X, %d-byte header, 44100 Hz, 16-bit "
            "stereo\n",
            SONOCAP_VERSION, sonocap::kCompressedMagic, sonocap::kCompressedHeaderBytes);
        return Finish(std::nullopt);
    }
    for (const sonocap::CommandRow* row : kCommands) {
        if (std::strcmp(command, row->name) != 0) continue;
        sonocap::Outcome failure;
        try {
            failure = Run(*row, argc - 2, argv + 2);
        } catch (const std::bad_alloc&) {
            // The command's files are closed and its temporary output removed on the way here.
            failure = sonocap::Failure{sonocap::kExitBadInput, "", "out of memory", std::nullopt};
        } catch (const std::system_error& error) {  // a worker thread that could not start
            failure = sonocap::Failure{
                sonocap::kExitBadInput, "",
                "cannot start a worker thread: " + error.code().message() + " (fewer --threads?)",
                std::nullopt};
        }
        return Finish(failure);
    }
    return sonocap::Report(sonocap::BadUsage("", std::string("unknown command '") + command + "'"));
}
