#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "codec/little_endian.h"
#include "tools/command_line.h"
#include "tools/commands.h"
#include "tools/mapped_file.h"
#include "tools/recording_check.h"
#include "tools/repair_plan.h"
#include "tools/report.h"

namespace sonocap {

namespace {

constexpr char kUsage[] =
    "usage: sonocap-cx repair [--dry-run] FILE\n"
    "\n"
    "Rebuilds the header of a WAV or Compaxa recording that never reached its stop (the\n"
    "program was killed, the machine lost power, the disk filled), from what is on disk:\n"
    "  WAV      the data size from the file's length, in whole frames (a torn last frame\n"
    "           is cut);\n"
    "  Compaxa  every complete, valid record from the start is kept, the bytes after the last\n"
    "           one (a torn record) are cut, and the sizes are written from those records.\n"
    "The whole file is checked before anything is written, and again after. The original header\n"
    "bytes are kept in FILE.header-backup and any bytes cut from the end in FILE.tail-backup, so\n"
    "that the repair can be undone:\n"
    "  dd if=FILE.header-backup of=FILE conv=notrunc; cat FILE.tail-backup >> FILE\n"
    "A file that already verifies is left untouched, and so is anything that is not\n"
    "recognisably a recording. Do not repair a file that is still being recorded.\n"
    "--dry-run says what would be done and writes nothing.\n";

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) close(fd_);
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

// Creates `path` (never over an existing file) holding the bytes, flushed to the disk.
std::optional<std::string> WriteNewFile(const std::string& path, const uint8_t* data,
                                        size_t bytes) {
    const FileDescriptor fd(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (fd.get() < 0) return path + ": " + std::strerror(errno);
    if (!WriteAllAt(fd.get(), data, bytes, 0) || fsync(fd.get()) != 0) {
        const std::string reason = path + ": " + std::strerror(errno);
        unlink(path.c_str());
        return reason;
    }
    return std::nullopt;
}

void SyncDirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const FileDescriptor fd(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0) fsync(fd.get());
}

struct FileIdentity {
    off_t size = 0;
    struct timespec modified {};
};

bool SameFile(const FileIdentity& a, const struct stat& b) {
    return a.size == b.st_size && a.modified.tv_sec == b.st_mtim.tv_sec &&
           a.modified.tv_nsec == b.st_mtim.tv_nsec;
}

// Puts the new size fields into place and cuts the file; the original header and tail are in
// the backups by then.
std::optional<std::string> ApplyPlan(const std::string& path, const RepairPlan& plan,
                                     const FileIdentity& checked) {
    const FileDescriptor fd(open(path.c_str(), O_RDWR | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || fstat(fd.get(), &st) != 0) return std::string(std::strerror(errno));
    if (!SameFile(checked, st)) {
        return std::string(
            "the file changed while it was being checked (is it still being "
            "recorded?)");
    }
    for (const FieldPatch& patch : plan.patches) {
        uint8_t field[4];
        StoreLE32(field, patch.value);
        if (!WriteAllAt(fd.get(), field, sizeof field, patch.offset)) {
            return std::string(std::strerror(errno));
        }
    }
    if (static_cast<uint64_t>(st.st_size) > plan.newLength &&
        ftruncate(fd.get(), static_cast<off_t>(plan.newLength)) != 0) {
        return std::string(std::strerror(errno));
    }
    if (fsync(fd.get()) != 0) return std::string(std::strerror(errno));
    return std::nullopt;
}

// Puts the original header and tail back, should the repaired file fail its check.
bool Restore(const std::string& path, const std::string& headerBackup,
             const std::string& tailBackup, uint64_t newLength) {
    std::string reason;
    MappedFile header, tail;
    if (!header.Open(headerBackup, reason)) return false;
    const bool haveTail = tail.Open(tailBackup, reason);
    const FileDescriptor fd(open(path.c_str(), O_RDWR | O_CLOEXEC));
    if (fd.get() < 0 || !WriteAllAt(fd.get(), header.data(), header.size(), 0)) return false;
    if (haveTail && !WriteAllAt(fd.get(), tail.data(), tail.size(), newLength)) return false;
    return fsync(fd.get()) == 0;
}

}  // namespace

int RunRepair(int argc, char** argv) {
    const CommandLine line = SplitCommandLine(argc, argv);
    if (line.Has("--help")) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    for (const std::string& option : line.options) {
        if (option != "--dry-run") return ReportUsage(kUsage, "unknown option " + option);
    }
    if (line.operands.size() != 1) return ReportUsage(kUsage, "repair takes one FILE");
    const bool dryRun = line.Has("--dry-run");
    const std::string& path = line.operands[0];
    const std::string headerBackup = path + ".header-backup";
    const std::string tailBackup = path + ".tail-backup";

    RepairPlan plan;
    FileIdentity checked;
    uint64_t originalLength = 0;
    {
        auto in = std::make_unique<MappedFile>();
        std::string reason;
        if (!in->Open(path, reason)) return ReportError(path, reason);
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) return ReportError(path, std::strerror(errno));
        checked = FileIdentity{st.st_size, st.st_mtim};
        originalLength = in->size();

        const RecordingKind kind = RecognizeRecording(in->data(), in->size());
        if (kind == RecordingKind::Unknown) {
            return ReportError(path, "neither a WAV nor a Compaxa recording: left untouched");
        }
        std::optional<FileError> problem;
        if (kind == RecordingKind::Wave) {
            WaveLayout layout;
            problem = CheckWaveFile(in->data(), in->size(), layout);
        } else {
            CompressedCheck check;
            problem = CheckCompressedFile(in->data(), in->size(), check);
        }
        if (!problem) {
            std::printf("%s: already verifies: nothing to repair, left untouched\n", path.c_str());
            return kExitOk;
        }
        const auto planError = kind == RecordingKind::Wave
                                   ? PlanWaveRepair(in->data(), in->size(), plan)
                                   : PlanCompressedRepair(in->data(), in->size(), plan);
        if (planError) {
            return ReportError(path, "offset " + std::to_string(planError->offset) + ": " +
                                         planError->message + ": not recognisably a " +
                                         (kind == RecordingKind::Wave ? "WAV" : "Compaxa") +
                                         " recording, left untouched");
        }
        bool changes = plan.newLength != in->size();
        for (const FieldPatch& patch : plan.patches) {
            if (LoadLE32(in->data() + patch.offset) != patch.value) changes = true;
        }
        if (!changes) {
            return ReportError(path, "offset " + std::to_string(problem->offset) + ": " +
                                         problem->message +
                                         ": not a fault of the header that repair can mend, "
                                         "left untouched");
        }

        std::printf("%s: %s recording, %s\n", path.c_str(), plan.format.c_str(),
                    plan.headerState.c_str());
        std::printf("%s: holds %s\n", path.c_str(), plan.content.c_str());
        const uint64_t cutBytes = in->size() - plan.newLength;
        if (cutBytes > 0) {
            std::printf("%s: %s %llu bytes from byte %llu: %s\n", path.c_str(),
                        dryRun ? "would cut" : "cutting", static_cast<unsigned long long>(cutBytes),
                        static_cast<unsigned long long>(plan.newLength), plan.cutReason.c_str());
        }
        for (const FieldPatch& patch : plan.patches) {
            std::printf("%s: %s size field at byte %llu: %u -> %u\n", path.c_str(),
                        dryRun ? "would set" : "setting",
                        static_cast<unsigned long long>(patch.offset),
                        LoadLE32(in->data() + patch.offset), patch.value);
        }
        if (dryRun) {
            std::printf("%s: dry run: nothing written\n", path.c_str());
            return kExitOk;
        }

        // Both backups exist on the disk before the file is touched; an existing one (from an
        // earlier repair) is never overwritten.
        if (auto failure = WriteNewFile(headerBackup, in->data(), plan.headerBytes)) {
            return ReportError(path,
                               "cannot keep the original header: " + *failure + "; left untouched");
        }
        if (cutBytes > 0) {
            if (auto failure = WriteNewFile(tailBackup, in->data() + plan.newLength, cutBytes)) {
                unlink(headerBackup.c_str());
                return ReportError(
                    path, "cannot keep the bytes to be cut: " + *failure + "; left untouched");
            }
        }
        SyncDirectoryOf(path);
    }  // the mapping ends here: the file is about to be cut

    if (auto failure = ApplyPlan(path, plan, checked)) {
        const bool restored = Restore(path, headerBackup, tailBackup, plan.newLength);
        return ReportError(path, *failure + (restored ? "; the original was put back"
                                                      : "; the original is in the backups"));
    }

    MappedFile repaired;
    std::string reason;
    std::optional<FileError> problem;
    if (!repaired.Open(path, reason)) {
        problem = FileError{0, reason};
    } else if (plan.format == "WAV") {
        WaveLayout layout;
        problem = CheckWaveFile(repaired.data(), repaired.size(), layout);
    } else {
        CompressedCheck check;
        problem = CheckCompressedFile(repaired.data(), repaired.size(), check);
    }
    if (problem) {
        const bool restored = Restore(path, headerBackup, tailBackup, plan.newLength);
        return ReportError(
            path, "offset " + std::to_string(problem->offset) + ": " + problem->message +
                      ": the repaired file does not verify; " +
                      (restored ? "the original was put back" : "the original is in the backups"));
    }
    std::printf("%s: repaired: it verifies; the original header is in %s", path.c_str(),
                headerBackup.c_str());
    if (originalLength > plan.newLength) {
        std::printf(", the %llu bytes cut in %s",
                    static_cast<unsigned long long>(originalLength - plan.newLength),
                    tailBackup.c_str());
    }
    std::printf("\n");
    return kExitOk;
}

}  // namespace sonocap
