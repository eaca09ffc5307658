#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/command_line.h"
#include "tools/report.h"

// Where sonocap-cx writes a command's output, and what it may never harm. Open decides before any
// work is done:
//   new name              a temporary file in the same directory, renamed to the name by Commit
//   existing plain file   replaced the same way, only with --force, only when the user could
//                         write it in place and it has no other hard link, keeping its mode and
//                         (where allowed) owner and group
//   the input itself      refused, through any link or spelling
//   symbolic link         written through to its target
//   character device,     written directly, no temporary file: /dev/null stays a device, a
//   FIFO, "-" (stdout)    reader of a FIFO gets the bytes
//   directory, "x/"       refused
// Until Commit, and whenever the command fails or is ended by a signal, nothing under the name
// changes and the temporary file is removed.

namespace sonocap {

class InputFile;

struct OutputOptions {
    bool force = false;      // an existing plain file may be replaced
    bool sync = false;       // flushed to the disk before it takes the name
    bool needsSeek = false;  // the command rewrites its header at the end
};

// The options of every command that writes a file, and what --help says about its output.
inline bool IsOutputOption(const std::string& option) {
    return option == "--force" || option == "-f" || option == "--sync";
}

inline OutputOptions OutputOptionsOf(const CommandLine& line) {
    OutputOptions options;
    options.force = line.Has("--force") || line.Has("-f");
    options.sync = line.Has("--sync");
    return options;
}

inline constexpr char kOutputHelp[] =
    "Output: OUT appears under its name only when complete (a temporary .sonocap-cx-XXXXXX\n"
    "beside it until then, removed on failure and on Ctrl-C). An existing OUT is replaced only\n"
    "with --force (-f), never when you could not write it in place, when it has other hard\n"
    "links, or when it is the input; it keeps its mode, and where allowed its owner and group.\n"
    "A symbolic link is written through;\n"
    "a character device or FIFO, and - (standard output), are written directly. A directory is\n"
    "refused. Like cp, the output is not flushed to the disk: --sync does that before it takes\n"
    "its name, for those who delete the original right after.\n"
    "Exit status: 0 success, 1 bad input, 2 bad usage, 3 the output could not be written.\n";

class OutputFile {
  public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // A failure when the policy refuses the output or it cannot be created. The steps after a
    // failure are not taken.
    Outcome Open(const std::string& path, const OutputOptions& options, const InputFile& input);
    // Appends bytes (buffered).
    Outcome Write(const void* data, size_t bytes);
    // Overwrites bytes already written, such as a header whose sizes are known only at the end.
    Outcome WriteAt(uint64_t offset, const void* data, size_t bytes);
    // Whether PlaceAt may be used: the output is a temporary file of its own, which takes bytes
    // at any offset, from any thread, in any order.
    bool Placeable() const { return !tempPath_.empty(); }
    // Writes bytes at `offset`, past the buffer, from any thread: the workers place what they
    // made, each where it belongs, instead of queueing it for one writer.
    Outcome PlaceAt(uint64_t offset, const void* data, size_t bytes) const;
    Outcome Commit();

  private:
    Failure Refuse(std::string reason) const;
    Failure Fail() const;
    Outcome Flush();
    // The file position moved on by `bytes`: the buffer starts in step with it again.
    void Sent(uint64_t bytes);
    Outcome OpenDirect(int fd, bool seekable);
    Outcome OpenTemporary(const std::string& target, const struct stat* replaced);

    std::string name_;      // the name it was given, for messages
    std::string target_;    // the name the output gets (a link's target for a link)
    std::string tempPath_;  // empty when written directly
    int fd_ = -1;
    bool ownsFd_ = false;
    bool seekable_ = false;
    bool replaces_ = false;
    off_t base_ = 0;  // where the output starts in a redirected standard output
    OutputOptions options_;
    // Bytes written but not yet sent, from `buffered_` on, which starts in step with their place
    // in the file.
    std::unique_ptr<uint8_t[]> storage_;
    uint8_t* buffered_ = nullptr;
    size_t bufferedBytes_ = 0;
    uint64_t position_ = 0;  // where the next bytes sent go in the file
};

}  // namespace sonocap
