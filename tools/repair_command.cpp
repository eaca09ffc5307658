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
#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/input_file.h"
#include "tools/recording_check.h"
#include "tools/repair_plan.h"
#include "tools/report.h"

namespace sonocap {

namespace {

constexpr char kUsage[] =
    "usage: sonocap-cx repair [--dry-run] [--salvage] FILE\n"
    "\n"
    "Rebuilds the header of a WAV or Compaxa recording that never reached its stop (the\n"
    "program was killed, the machine lost power, the disk filled), from what is on disk:\n"
    "  WAV      the data size from the file's length, in whole frames (a torn last frame\n"
    "           is cut); whole chunks after the samples (LIST and the like) are kept;\n"
    "  Compaxa  every complete, valid record from the start is kept, the bytes after the last\n"
    "           one (a torn record) are cut, and the sizes are written from those records.\n"
    "A finished recording with damage inside (a fault with audio behind it) is not repaired:\n"
    "the damage is reported with its offset and the audio before and after it. --salvage then\n"
    "keeps what lies before it and cuts the rest.\n"
    "The whole file is checked before anything is written, and again after. The original header\n"
    "bytes are kept in FILE.header-backup and any bytes cut from the end in FILE.tail-backup\n"
    "(holes where they are all zero), so that the repair can be undone:\n"
    "  dd if=FILE.header-backup of=FILE conv=notrunc; cat FILE.tail-backup >> FILE\n"
    "The backups are made only once the file is about to be written, and an existing one is\n"
    "never overwritten. A file that already verifies is left untouched, and so is anything that\n"
    "is not recognisably a recording. Do not repair a file that is still being recorded.\n"
    "--dry-run says what would be done, writes nothing, and fails where the repair would.\n";

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { Reset(); }
    void Reset(int fd = -1) {
        if (fd_ >= 0) close(fd_);
        fd_ = fd;
    }
    int get() const { return fd_; }

  private:
    int fd_;
};

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

// Creates `path` (never over an existing file) holding the bytes, flushed to the disk. Blocks of
// zeros become holes, so that a sparse tail costs no room.
std::optional<std::string> WriteNewFile(const std::string& path, const uint8_t* data,
                                        size_t bytes) {
    const FileDescriptor fd(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (fd.get() < 0) return path + ": " + std::strerror(errno);
    constexpr size_t kBlock = 64 << 10;
    static const uint8_t zeros[kBlock] = {};
    bool ok = true;
    for (size_t at = 0; ok && at < bytes; at += kBlock) {
        const size_t n = std::min(kBlock, bytes - at);
        if (std::memcmp(data + at, zeros, n) != 0) ok = WriteAllAt(fd.get(), data + at, n, at);
    }
    if (!ok || ftruncate(fd.get(), static_cast<off_t>(bytes)) != 0 || fsync(fd.get()) != 0) {
        const std::string reason = path + ": " + std::strerror(errno);
        unlink(path.c_str());
        return reason;
    }
    return std::nullopt;
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash + 1);
}

void SyncDirectoryOf(const std::string& path) {
    const FileDescriptor fd(open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0) fsync(fd.get());
}

std::optional<FileError> CheckRecording(RecordingKind kind, const uint8_t* data, size_t size) {
    if (kind == RecordingKind::Wave) {
        WaveLayout layout;
        return CheckWaveFile(data, size, layout);
    }
    CompressedCheck check;
    return CheckCompressedFile(data, size, check);
}

// One repair, from its plan to the check of the result.
struct Repair {
    std::string path;
    std::string headerBackup;
    std::string tailBackup;
    RecordingKind kind = RecordingKind::Unknown;
    RepairPlan plan;
    std::unique_ptr<InputFile> original;  // the file as checked, until the backups hold it
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

// Works out the repair and every reason to refuse it, before anything is written: the real run
// and --dry-run refuse alike. Returns -1 when the repair may go ahead.
int PlanRepair(Repair& r, bool salvage) {
    r.original = std::make_unique<InputFile>();
    std::string reason;
    if (!r.original->Open(r.path, reason) || !r.original->Load(reason)) {
        return ReportError(r.path, reason);
    }
    if (!r.original->IsRegular()) return ReportError(r.path, "not a plain file");
    const uint8_t* data = r.original->data();
    const size_t size = r.original->size();
    if (stat(r.path.c_str(), &r.checked) != 0) return ReportError(r.path, std::strerror(errno));

    r.kind = RecognizeRecording(data, size);
    if (r.kind == RecordingKind::Unknown) {
        return ReportError(r.path, "neither a WAV nor a Compaxa recording: left untouched");
    }
    const std::optional<FileError> problem = CheckRecording(r.kind, data, size);
    if (!problem) {
        std::printf("%s: already verifies: nothing to repair, left untouched\n", r.path.c_str());
        return kExitOk;
    }
    const bool wave = r.kind == RecordingKind::Wave;
    const auto planError =
        wave ? PlanWaveRepair(data, size, r.plan) : PlanCompressedRepair(data, size, r.plan);
    if (planError) {
        return Untouched(r, "offset " + std::to_string(planError->offset) + ": " +
                                planError->message + ": not recognisably a " +
                                (wave ? "WAV" : "Compaxa") + " recording");
    }
    if (r.plan.damage && !salvage) {
        return Untouched(
            r, "offset " + std::to_string(r.plan.damage->offset) + ": " + r.plan.damage->message +
                   ": damage inside the recording, not an unfinished end: " + r.plan.damageExtent +
                   "; --salvage keeps what lies before it and cuts the rest");
    }
    bool changes = r.plan.newLength != size;
    for (const FieldPatch& patch : r.plan.patches) {
        if (LoadLE32(data + patch.offset) != patch.value) changes = true;
    }
    if (!changes) {
        return Untouched(r, "offset " + std::to_string(problem->offset) + ": " + problem->message +
                                ": not a fault of the header that repair can mend");
    }
    r.cutBytes = size - r.plan.newLength;
    if (access(r.path.c_str(), W_OK) != 0) return CannotWrite(r, std::strerror(errno));
    if (access(DirectoryOf(r.path).c_str(), W_OK | X_OK) != 0) {
        return CannotWrite(r,
                           std::string("cannot keep backups beside it: ") + std::strerror(errno));
    }
    for (const std::string* backup : {&r.headerBackup, &r.tailBackup}) {
        struct stat st {};
        if (backup == &r.tailBackup && r.cutBytes == 0) continue;
        if (lstat(backup->c_str(), &st) == 0) {
            return CannotWrite(r, *backup +
                                      " exists (from an earlier repair?), and a backup is "
                                      "never overwritten: move it away first");
        }
    }
    return -1;
}

void PrintPlan(const Repair& r, bool dryRun) {
    const char* path = r.path.c_str();
    const uint8_t* data = r.original->data();
    std::printf("%s: %s recording, %s\n", path, r.plan.format.c_str(), r.plan.headerState.c_str());
    std::printf("%s: holds %s\n", path, r.plan.content.c_str());
    if (r.plan.damage) {
        std::printf("%s: salvaging: offset %llu: %s: %s\n", path,
                    static_cast<unsigned long long>(r.plan.damage->offset),
                    r.plan.damage->message.c_str(), r.plan.damageExtent.c_str());
    }
    if (r.cutBytes > 0) {
        std::printf("%s: %s %s from byte %llu: %s\n", path, dryRun ? "would cut" : "cutting",
                    Counted(r.cutBytes, "byte", "bytes").c_str(),
                    static_cast<unsigned long long>(r.plan.newLength), r.plan.cutReason.c_str());
    }
    for (const FieldPatch& patch : r.plan.patches) {
        const uint32_t before = LoadLE32(data + patch.offset);
        if (before == patch.value) continue;
        std::printf("%s: %s size field at byte %llu: %u -> %u\n", path,
                    dryRun ? "would set" : "setting", static_cast<unsigned long long>(patch.offset),
                    before, patch.value);
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
// disk before the file is touched. Returns -1 on success; otherwise nothing is left behind.
int BackUp(Repair& r) {
    r.fd.Reset(open(r.path.c_str(), O_RDWR | O_CLOEXEC));
    struct stat now {};
    if (r.fd.get() < 0 || fstat(r.fd.get(), &now) != 0) {
        return CannotWrite(r, std::strerror(errno));
    }
    if (!SameAsChecked(r.checked, now)) {
        return Untouched(r,
                         "the file changed while it was being checked (is it still being "
                         "recorded?)");
    }
    const uint8_t* data = r.original->data();
    if (auto failure = WriteNewFile(r.headerBackup, data, r.plan.headerBytes)) {
        return CannotWrite(r, "cannot keep the original header: " + *failure);
    }
    if (r.cutBytes > 0) {
        if (auto failure = WriteNewFile(r.tailBackup, data + r.plan.newLength, r.cutBytes)) {
            unlink(r.headerBackup.c_str());
            return CannotWrite(r, "cannot keep the bytes to be cut: " + *failure);
        }
    }
    SyncDirectoryOf(r.path);
    r.original.reset();
    return -1;
}

// Puts the original header and tail back, should the repair fail once it touched the file.
bool Restore(const Repair& r) {
    std::string reason;
    InputFile header, tail;
    if (!header.Open(r.headerBackup, reason) || !header.Load(reason)) return false;
    if (!WriteAllAt(r.fd.get(), header.data(), header.size(), 0)) return false;
    if (r.cutBytes > 0) {
        if (!tail.Open(r.tailBackup, reason) || !tail.Load(reason)) return false;
        if (!WriteAllAt(r.fd.get(), tail.data(), tail.size(), r.plan.newLength)) return false;
    }
    return fsync(r.fd.get()) == 0;
}

int Failed(const Repair& r, const std::string& why) {
    return ReportOutputError(r.path, why + (Restore(r) ? "; the original was put back"
                                                       : "; the original is in the backups"));
}

// Writes the new size fields and cuts the file. Returns -1 on success.
int Apply(Repair& r) {
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
    return -1;
}

// Reads the repaired file back and checks it whole.
int Recheck(const Repair& r) {
    InputFile repaired;
    std::string reason;
    std::optional<FileError> problem;
    if (!repaired.Open(r.path, reason) || !repaired.Load(reason)) {
        problem = FileError{0, reason};
    } else {
        problem = CheckRecording(r.kind, repaired.data(), repaired.size());
    }
    if (problem) {
        return Failed(r, "offset " + std::to_string(problem->offset) + ": " + problem->message +
                             ": the repaired file does not verify");
    }
    std::printf("%s: repaired: it verifies; the original header is in %s", r.path.c_str(),
                r.headerBackup.c_str());
    if (r.cutBytes > 0) {
        std::printf(", the %s cut in %s", Counted(r.cutBytes, "byte", "bytes").c_str(),
                    r.tailBackup.c_str());
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
    r.headerBackup = r.path + ".header-backup";
    r.tailBackup = r.path + ".tail-backup";

    if (const int status = PlanRepair(r, line.Has("--salvage")); status >= 0) return status;
    PrintPlan(r, dryRun);
    if (dryRun) {
        std::printf("%s: dry run: nothing written\n", r.path.c_str());
        return kExitOk;
    }
    // What is printed so far goes out before anything is written, should the repair stop.
    std::fflush(stdout);
    if (const int status = BackUp(r); status >= 0) return status;
    if (const int status = Apply(r); status >= 0) return status;
    return Recheck(r);
}

}  // namespace sonocap
