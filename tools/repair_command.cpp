#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "codec/little_endian.h"
#include "codec/recording_check.h"
#include "codec/repair_plan.h"
#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/input_file.h"
#include "tools/posix_file.h"
#include "tools/report.h"
#include "tools/signal_cleanup.h"

namespace sonocap {

namespace {

constexpr char kUsage[] =
    "usage: sonocap-cx repair [--dry-run] [--salvage] FILE\n"
    "\n"
    "Rebuilds the header of a WAV or Compaxa recording that never reached its stop (the\n"
    "program was killed, the machine lost power, the disk filled), from what is on disk; no\n"
    "sample that the file holds is removed:\n"
    "  WAV      the data size from the file's length, in whole frames (a torn last frame\n"
    "           is cut), also where a data size short of the samples was written; whole\n"
    "           chunks after the samples (LIST and the like) are kept;\n"
    "  Compaxa  every complete, valid record from the start is kept, the bytes after the last\n"
    "           one (a torn record) are cut, and the sizes are written from those records.\n"
    "A finished recording with damage inside (a fault with audio behind it), or whose header\n"
    "declares more bytes than the file holds (a copy cut short), is not repaired: the damage\n"
    "is reported with its offset and the audio around it. Where there is audio before it,\n"
    "--salvage then keeps that and cuts the rest.\n"
    "The whole file is checked before anything is written, and again after, reading it in\n"
    "a fixed amount of memory. The original header bytes are kept in FILE.header-backup and\n"
    "any bytes cut from the end in FILE.tail-backup (holes where they are all zero), so that\n"
    "the repair can be undone:\n"
    "  dd if=FILE.header-backup of=FILE conv=notrunc; cat FILE.tail-backup >> FILE\n"
    "The backups are made only once the file is about to be written, and an existing one is\n"
    "never overwritten. Interrupted (Ctrl-C, kill), repair leaves either the file untouched\n"
    "and no backups, or the finished repair and its backups. A file that already verifies is\n"
    "left untouched, and so is anything that is not recognisably a recording, or not a plain\n"
    "file. Do not repair a file that is still being recorded.\n"
    "--dry-run says what would be done, writes nothing, and fails where the repair would.\n";

bool WriteAllAt(int fd, const uint8_t* p, size_t bytes, uint64_t offset) {
    while (bytes > 0) {
        const ssize_t n = pwrite(fd, p, bytes, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        bytes -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

bool ReadAllAt(int fd, uint8_t* p, size_t bytes, uint64_t offset) {
    while (bytes > 0) {
        const ssize_t n = pread(fd, p, bytes, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = EIO;  // shorter than it was when checked
            return false;
        }
        p += n;
        bytes -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

// Copies `bytes` from offset `from` of one descriptor to offset `to` of another, a block at a
// time; blocks of zeros are skipped when `holes` (the target is new), so that a sparse tail
// costs no room.
bool CopyRange(int in, uint64_t from, int out, uint64_t to, uint64_t bytes, bool holes) {
    constexpr size_t kBlock = 1 << 20;
    static const uint8_t zeros[64 << 10] = {};
    std::unique_ptr<uint8_t[]> block(new uint8_t[kBlock]);
    for (uint64_t done = 0; done < bytes;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(kBlock, bytes - done));
        if (!ReadAllAt(in, block.get(), n, from + done)) return false;
        for (size_t at = 0; at < n; at += sizeof zeros) {
            const size_t piece = std::min(sizeof zeros, n - at);
            if (holes && std::memcmp(block.get() + at, zeros, piece) == 0) continue;
            if (!WriteAllAt(out, block.get() + at, piece, to + done + at)) return false;
        }
        done += n;
    }
    return true;
}

// Creates `path` (never over an existing file) holding `bytes` of `fd` from `from`, flushed to
// the disk.
std::optional<std::string> WriteNewFile(const std::string& path, int fd, uint64_t from,
                                        uint64_t bytes) {
    const FileDescriptor out(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (out.get() < 0) return QuotedName(path) + ": " + std::strerror(errno);
    if (!CopyRange(fd, from, out.get(), 0, bytes, true) ||
        ftruncate(out.get(), static_cast<off_t>(bytes)) != 0 || fsync(out.get()) != 0) {
        const std::string reason = QuotedName(path) + ": " + std::strerror(errno);
        unlink(path.c_str());
        return reason;
    }
    return std::nullopt;
}

// One reading of the file from its start, through a window of fixed size.
struct Pass {
    InputFile file;
    std::optional<ByteWindow> window;

    std::optional<std::string> Open(const std::string& path) {
        std::string reason;
        if (!file.Open(path, reason)) return reason;
        window.emplace(file);
        return std::nullopt;
    }
};

std::optional<FileError> CheckRecording(RecordingKind kind, ByteWindow& window) {
    if (kind == RecordingKind::Wave) {
        WaveLayout layout;
        return CheckWaveFile(window, layout);
    }
    CompressedCheck check;
    return CheckCompressedFile(window, check);
}

// One repair, from its plan to the check of the result.
struct Repair {
    std::string path;
    std::string name;  // the path as messages show it
    std::string headerBackup;
    std::string tailBackup;
    RecordingKind kind = RecordingKind::Unknown;
    RepairPlan plan;
    struct stat checked {};
    uint64_t cutBytes = 0;
    FileDescriptor fd;  // open for writing from the backup on
};

// A refusal: the file is left as it was, with no backups.
int Untouched(const Repair& r, const std::string& why) {
    return ReportError(r.path, why + "; left untouched");
}

// The same when the file or its backups cannot be written.
int CannotWrite(const Repair& r, const std::string& why) {
    return ReportOutputError(r.path, why + "; left untouched");
}

std::string At(const FileError& error) {
    return "offset " + std::to_string(error.offset) + ": " + error.message;
}

// Works out the repair and every reason to refuse it, before anything is written: the real run
// and --dry-run refuse alike. Returns the exit status, or nothing when the repair may go ahead.
std::optional<int> PlanRepair(Repair& r, bool salvage) {
    // A FIFO or a device is refused before it is opened: opening a FIFO waits for a writer.
    if (stat(r.path.c_str(), &r.checked) != 0) return ReportError(r.path, std::strerror(errno));
    if (!S_ISREG(r.checked.st_mode)) {
        return ReportError(r.path, std::string(S_ISDIR(r.checked.st_mode)    ? "a directory"
                                               : S_ISFIFO(r.checked.st_mode) ? "a FIFO"
                                                                             : "not a plain file") +
                                       ", not a recording: left untouched");
    }
    Pass check;
    if (auto reason = check.Open(r.path)) return ReportError(r.path, *reason);
    r.kind = RecognizeRecording(*check.window);
    if (check.window->Error()) return ReportError(r.path, *check.window->Error());
    if (r.kind == RecordingKind::Unknown) {
        return ReportError(r.path, "neither a WAV nor a Compaxa recording: left untouched");
    }
    const std::optional<FileError> problem = CheckRecording(r.kind, *check.window);
    if (!problem) {
        std::printf("%s: already verifies: nothing to repair, left untouched\n", r.name.c_str());
        return kExitOk;
    }
    const bool wave = r.kind == RecordingKind::Wave;
    Pass planning;
    if (auto reason = planning.Open(r.path)) return ReportError(r.path, *reason);
    const auto planError = wave ? PlanWaveRepair(*planning.window, r.plan)
                                : PlanCompressedRepair(*planning.window, r.plan);
    if (planning.window->Error()) return ReportError(r.path, *planning.window->Error());
    if (planError) {
        return Untouched(r, At(*planError) + ": not recognisably a " + (wave ? "WAV" : "Compaxa") +
                                " recording");
    }
    if (r.plan.damage) {
        // --salvage is offered only where it keeps some audio.
        const bool keeps = r.plan.frames > 0;
        if (!salvage || !keeps) {
            return Untouched(
                r, At(*r.plan.damage) + ": damage inside the recording, not an unfinished end: " +
                       r.plan.damageExtent +
                       (keeps ? "; --salvage keeps what lies before it and cuts the rest"
                              : "; there is no audio before it for --salvage to keep"));
        }
    }
    bool changes = r.plan.newLength != r.plan.length;
    for (const FieldPatch& patch : r.plan.patches) {
        if (patch.before != patch.value) changes = true;
    }
    if (!changes) {
        return Untouched(r, At(*problem) + ": not a fault of the header that repair can mend");
    }
    r.cutBytes = r.plan.length - r.plan.newLength;
    if (access(r.path.c_str(), W_OK) != 0) return CannotWrite(r, std::strerror(errno));
    if (access(DirectoryOf(r.path).c_str(), W_OK | X_OK) != 0) {
        return CannotWrite(r, "cannot create backups in " + QuotedName(DirectoryOf(r.path)) + ": " +
                                  std::strerror(errno));
    }
    for (const std::string* backup : {&r.headerBackup, &r.tailBackup}) {
        struct stat st {};
        if (backup == &r.tailBackup && r.cutBytes == 0) continue;
        if (lstat(backup->c_str(), &st) == 0) {
            return CannotWrite(r, QuotedName(*backup) +
                                      " exists (from an earlier repair?), and a backup is "
                                      "never overwritten: move it away first");
        }
    }
    return std::nullopt;
}

void PrintPlan(const Repair& r, bool dryRun) {
    const char* path = r.name.c_str();
    std::printf("%s: %s recording, %s\n", path, r.plan.format.c_str(), r.plan.headerState.c_str());
    std::printf("%s: holds %s\n", path, r.plan.content.c_str());
    if (r.plan.damage) {
        std::printf("%s: salvaging: %s: %s\n", path, At(*r.plan.damage).c_str(),
                    r.plan.damageExtent.c_str());
    }
    if (r.cutBytes > 0) {
        std::printf("%s: %s %s from byte %llu: %s\n", path, dryRun ? "would cut" : "cutting",
                    Counted(r.cutBytes, "byte", "bytes").c_str(),
                    static_cast<unsigned long long>(r.plan.newLength), r.plan.cutReason.c_str());
    }
    for (const FieldPatch& patch : r.plan.patches) {
        if (patch.before == patch.value) continue;
        std::printf("%s: %s size field at byte %llu: %u -> %u\n", path,
                    dryRun ? "would set" : "setting", static_cast<unsigned long long>(patch.offset),
                    patch.before, patch.value);
    }
}

void RemoveBackups(const Repair& r) {
    unlink(r.headerBackup.c_str());
    if (r.cutBytes > 0) unlink(r.tailBackup.c_str());
}

bool SameAsChecked(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// Opens the file for writing and puts its original header and tail into the backups, on the
// disk before the file is touched. Otherwise nothing is left behind, and the exit status comes
// back.
std::optional<int> BackUp(Repair& r) {
    r.fd.Reset(open(r.path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK));
    struct stat now {};
    if (r.fd.get() < 0 || fstat(r.fd.get(), &now) != 0) {
        return CannotWrite(r, std::strerror(errno));
    }
    if (!SameAsChecked(r.checked, now)) {
        return Untouched(r,
                         "the file changed while it was being checked (is it still being "
                         "recorded?)");
    }
    if (auto failure = WriteNewFile(r.headerBackup, r.fd.get(), 0, r.plan.headerBytes)) {
        return CannotWrite(r, "cannot keep the original header: " + *failure);
    }
    if (r.cutBytes > 0) {
        if (auto failure = WriteNewFile(r.tailBackup, r.fd.get(), r.plan.newLength, r.cutBytes)) {
            unlink(r.headerBackup.c_str());
            return CannotWrite(r, "cannot keep the bytes to be cut: " + *failure);
        }
    }
    SyncDirectoryOf(r.path);
    return std::nullopt;
}

// Puts the original header and tail back, should the repair fail once it touched the file.
bool Restore(const Repair& r) {
    const FileDescriptor header(open(r.headerBackup.c_str(), O_RDONLY | O_CLOEXEC));
    if (header.get() < 0 || !CopyRange(header.get(), 0, r.fd.get(), 0, r.plan.headerBytes, false)) {
        return false;
    }
    if (r.cutBytes > 0) {
        const FileDescriptor tail(open(r.tailBackup.c_str(), O_RDONLY | O_CLOEXEC));
        if (tail.get() < 0 ||
            !CopyRange(tail.get(), 0, r.fd.get(), r.plan.newLength, r.cutBytes, false)) {
            return false;
        }
    }
    return fsync(r.fd.get()) == 0;
}

int Failed(const Repair& r, const std::string& why) {
    return ReportOutputError(r.path, why + (Restore(r) ? "; the original was put back"
                                                       : "; the original is in the backups"));
}

// Writes the new size fields and cuts the file.
std::optional<int> Apply(Repair& r) {
    bool touched = false;
    for (const FieldPatch& patch : r.plan.patches) {
        uint8_t field[4];
        StoreLE32(field, patch.value);
        if (!WriteAllAt(r.fd.get(), field, sizeof field, patch.offset)) {
            if (touched) return Failed(r, std::strerror(errno));
            const std::string why = std::strerror(errno);
            RemoveBackups(r);
            return CannotWrite(r, why);
        }
        touched = true;
    }
    if (r.cutBytes > 0 && ftruncate(r.fd.get(), static_cast<off_t>(r.plan.newLength)) != 0) {
        return Failed(r, std::strerror(errno));
    }
    if (fsync(r.fd.get()) != 0) return Failed(r, std::strerror(errno));
    return std::nullopt;
}

// Reads the repaired file back and checks it whole.
int Recheck(const Repair& r) {
    Pass pass;
    std::optional<FileError> problem;
    if (auto reason = pass.Open(r.path)) {
        problem = FileError{0, *reason};
    } else {
        problem = CheckRecording(r.kind, *pass.window);
    }
    if (problem) return Failed(r, At(*problem) + ": the repaired file does not verify");
    std::printf("%s: repaired: it verifies; the original header is in %s", r.name.c_str(),
                QuotedName(r.headerBackup).c_str());
    if (r.cutBytes > 0) {
        std::printf(", the %s cut in %s", Counted(r.cutBytes, "byte", "bytes").c_str(),
                    QuotedName(r.tailBackup).c_str());
    }
    std::printf("\n");
    return kExitOk;
}

}  // namespace

int RunRepair(int argc, char** argv) {
    const CommandLine line = SplitCommandLine(argc, argv);
    if (line.Has("--help")) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    for (const std::string& option : line.options) {
        if (option != "--dry-run" && option != "--salvage") {
            return ReportUsage(kUsage, "unknown option " + option);
        }
    }
    if (line.operands.size() != 1) return ReportUsage(kUsage, "repair takes one FILE");
    const bool dryRun = line.Has("--dry-run");
    Repair r;
    r.path = line.operands[0];
    r.name = QuotedName(r.path);
    r.headerBackup = r.path + ".header-backup";
    r.tailBackup = r.path + ".tail-backup";

    if (const auto status = PlanRepair(r, line.Has("--salvage"))) return *status;
    PrintPlan(r, dryRun);
    if (dryRun) {
        std::printf("%s: dry run: nothing written\n", r.name.c_str());
        return kExitOk;
    }
    // What is printed so far goes out before anything is written, should the repair stop.
    std::fflush(stdout);
    // From the first backup to the check of the result the repair is done whole or not at all:
    // a signal that comes before the file is touched undoes the backups, one that comes later
    // waits for the end.
    const HeldSignals held;
    if (const auto status = BackUp(r)) return *status;
    if (held.Pending()) {
        RemoveBackups(r);
        return Untouched(r, "interrupted before it was written");
    }
    if (const auto status = Apply(r)) return *status;
    const int status = Recheck(r);
    std::fflush(stdout);
    return status;
}

}  // namespace sonocap
