#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "codec/duration_text.h"
#include "codec/little_endian.h"
#include "codec/recording_check.h"
#include "codec/unfinished_recording.h"
#include "codec/wave_header.h"
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

// Copies `bytes` from offset `from` of one descriptor to offset `to` of another, a block at a
// time; blocks of zeros are skipped when `holes` (the target is new), so that a sparse tail
// costs no room.
bool CopyRange(int in, uint64_t from, int out, uint64_t to, uint64_t bytes, bool holes) {
    constexpr size_t kBlock = 1 << 20;
    static const uint8_t zeros[64 << 10] = {};
    std::unique_ptr<uint8_t[]> block(new uint8_t[kBlock]);
    errno = 0;
    for (uint64_t done = 0; done < bytes;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(kBlock, bytes - done));
        if (ReadAt(in, block.get(), n, from + done) != n) {
            if (errno == 0) errno = EIO;  // shorter than it was when checked
            return false;
        }
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
// the disk; false with errno set, and nothing left, when that fails.
bool WriteNewFile(const std::string& path, int fd, uint64_t from, uint64_t bytes) {
    const FileDescriptor out(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (out.get() < 0) return false;
    if (!CopyRange(fd, from, out.get(), 0, bytes, true) ||
        ftruncate(out.get(), static_cast<off_t>(bytes)) != 0 || fsync(out.get()) != 0) {
        const int error = errno;
        unlink(path.c_str());
        errno = error;
        return false;
    }
    return true;
}

// One reading of the file from its start, through a window of fixed size.
struct Pass {
    InputFile file;
    std::optional<ByteWindow> window;

    Outcome Open(const std::string& path) {
        if (auto failure = file.Open(path)) return failure;
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
    FinishPlan plan;  // the finish of an unfinished recording
    // Repair's own reading of what the finish would do, for the user.
    std::string headerState;
    std::string content;
    // A fault that is not an unfinished end: damage with audio behind it, or sizes that claim
    // more than the file holds (a copy cut short). Cutting there loses audio.
    std::optional<FileError> damage;
    std::string damageExtent;
    struct stat checked {};
    bool alreadyVerifies = false;
    uint64_t cutBytes = 0;
    FileDescriptor fd;  // open for writing from the backup on
};

// A refusal: the file is left as it was, with no backups.
Failure Untouched(const Repair& r, const std::string& why) {
    return BadInput(r.path, why + "; left untouched");
}

// The same when the file or its backups cannot be written.
Failure CannotWrite(const Repair& r, const std::string& why) {
    return BadOutput(r.path, why + "; left untouched");
}

std::string At(const FileError& error) {
    return "offset " + std::to_string(error.offset) + ": " + error.message;
}

std::string Frames(uint64_t frames) {
    return std::to_string(frames) + " frames (" + FormatDuration(frames) + ")";
}

std::string CutShort(uint64_t declared, uint64_t held) {
    return "the header declares " + std::to_string(declared) + " bytes but the file holds " +
           std::to_string(held) + ": it looks cut short, " + std::to_string(declared - held) +
           " bytes are missing (an interrupted copy?)";
}

// What the header said and what the finish keeps, in words, and the damage that the finish
// alone does not see: a finished header whose sizes reach past the end of the file. A recorder
// never leaves that; an interrupted copy does.
void DescribeRepair(Repair& r, const uint8_t* header) {
    const FinishPlan& plan = r.plan;
    if (!plan.compressed) {
        const uint64_t declared = LoadLE32(header + plan.headerBytes - 4);
        const uint64_t present = plan.length - plan.headerBytes;
        r.headerState = "data size field " + std::to_string(declared);
        if (declared == 0) {
            r.headerState += ": the recording was never finished";
        } else if (declared > present) {
            r.headerState += " but only " + std::to_string(present) + " bytes of data in the file";
            r.damage = FileError{plan.headerBytes - 4, CutShort(declared, present)};
            r.damageExtent = Frames(plan.frames) +
                             " of audio are in the file, the header declares " +
                             Frames(declared / kBytesPerFrame);
        } else if (declared < present) {
            r.headerState +=
                " but " + std::to_string(present) + " bytes after the data chunk's header";
        }
        const uint64_t samplesEnd = plan.headerBytes + kBytesPerFrame * plan.frames;
        r.content = Frames(plan.frames) + " of samples, up to byte " + std::to_string(samplesEnd);
        if (plan.newLength > samplesEnd) {
            r.content += ", then chunks up to byte " + std::to_string(plan.newLength);
        }
        return;
    }
    const uint32_t fileSize = LoadLE32(header + 4);
    const uint32_t uncompressedSize = LoadLE32(header + 8);
    const bool finished = fileSize != 0 || uncompressedSize != 0;
    r.headerState = "file size field " + std::to_string(fileSize) + ", uncompressed size field " +
                    std::to_string(uncompressedSize);
    if (!finished) r.headerState += ": the recording was never finished";
    r.content = "valid records of " + Frames(plan.frames) + ", up to byte " +
                std::to_string(plan.newLength);
    if (finished && fileSize > plan.length) {
        r.damage = FileError{4, CutShort(fileSize, plan.length)};
        r.damageExtent = Frames(plan.frames) + " of audio are in the file, the header declares " +
                         Frames(uncompressedSize / kBytesPerFrame);
    } else if (plan.damage) {
        r.damage = plan.damage;
        r.damageExtent = Frames(plan.frames) + " of audio lie before it and " +
                         (plan.resumeAt ? "" : "the header declares ") +
                         Frames(plan.framesAfterDamage) + " after it" +
                         (plan.resumeAt ? " (valid records again from offset " +
                                              std::to_string(*plan.resumeAt) + ")"
                                        : "");
    }
}

// Works out the repair and every reason to refuse it, before anything is written: the real run
// and --dry-run refuse alike.
Outcome PlanRepair(Repair& r, bool salvage) {
    // A FIFO or a device is refused before it is opened: opening a FIFO waits for a writer.
    if (stat(r.path.c_str(), &r.checked) != 0) return BadInput(r.path, std::strerror(errno));
    if (!S_ISREG(r.checked.st_mode)) {
        return BadInput(r.path, std::string(S_ISDIR(r.checked.st_mode)    ? "a directory"
                                            : S_ISFIFO(r.checked.st_mode) ? "a FIFO"
                                                                          : "not a plain file") +
                                    ", not a recording: left untouched");
    }
    Pass check;
    if (auto failure = check.Open(r.path)) return failure;
    r.kind = RecognizeRecording(*check.window);
    if (check.window->Error()) return BadInput(r.path, *check.window->Error());
    if (r.kind == RecordingKind::Unknown) {
        return BadInput(r.path, "neither a WAV nor a Compaxa recording: left untouched");
    }
    const std::optional<FileError> problem = CheckRecording(r.kind, *check.window);
    if (!problem) {
        r.alreadyVerifies = true;
        return std::nullopt;
    }
    const bool wave = r.kind == RecordingKind::Wave;
    const FileDescriptor fd(open(r.path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) return BadInput(r.path, std::strerror(errno));
    DescriptorFile file(fd.get());
    if (auto planError = PlanFinish(file, r.plan)) {
        return Untouched(r, At(*planError) + ": not recognisably a " + (wave ? "WAV" : "Compaxa") +
                                " recording");
    }
    std::vector<uint8_t> header(r.plan.headerBytes);
    if (ReadAt(fd.get(), header.data(), header.size(), 0) != header.size()) {
        return BadInput(r.path, std::strerror(errno != 0 ? errno : EIO));
    }
    DescribeRepair(r, header.data());
    if (r.damage) {
        // --salvage is offered only where it keeps some audio.
        const bool keeps = r.plan.frames > 0;
        if (!salvage || !keeps) {
            return Untouched(
                r, At(*r.damage) +
                       ": damage inside the recording, not an unfinished end: " + r.damageExtent +
                       (keeps ? "; --salvage keeps what lies before it and cuts the rest"
                              : "; there is no audio before it for --salvage to keep"));
        }
    }
    if (!r.plan.Changes()) {
        return Untouched(r, At(*problem) + ": not a fault of the header that repair can mend");
    }
    r.cutBytes = r.plan.CutBytes();
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
    std::printf("%s: %s recording, %s\n", path, r.plan.compressed ? "Compaxa" : "WAV",
                r.headerState.c_str());
    std::printf("%s: holds %s\n", path, r.content.c_str());
    if (r.damage) {
        std::printf("%s: salvaging: %s: %s\n", path, At(*r.damage).c_str(), r.damageExtent.c_str());
    }
    if (r.cutBytes > 0) {
        std::printf("%s: %s %s from byte %llu: %s\n", path, dryRun ? "would cut" : "cutting",
                    Counted(r.cutBytes, "byte", "bytes").c_str(),
                    static_cast<unsigned long long>(r.plan.newLength), r.plan.cutReason.c_str());
    }
    for (const SizeFieldChange& field : r.plan.fields) {
        std::printf("%s: %s size field at byte %llu: %u -> %u\n", path,
                    dryRun ? "would set" : "setting", static_cast<unsigned long long>(field.offset),
                    field.before, field.after);
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
// disk before the file is touched. Otherwise nothing is left behind.
Outcome BackUp(Repair& r) {
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
    if (!WriteNewFile(r.headerBackup, r.fd.get(), 0, r.plan.headerBytes)) {
        return CannotWrite(r, "cannot keep the original header: " + QuotedName(r.headerBackup) +
                                  ": " + std::strerror(errno));
    }
    if (r.cutBytes > 0 && !WriteNewFile(r.tailBackup, r.fd.get(), r.plan.newLength, r.cutBytes)) {
        const Failure failure =
            CannotWrite(r, "cannot keep the bytes to be cut: " + QuotedName(r.tailBackup) + ": " +
                               std::strerror(errno));
        unlink(r.headerBackup.c_str());
        return failure;
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

Failure Failed(const Repair& r, const std::string& why) {
    return BadOutput(r.path, why + (Restore(r) ? "; the original was put back"
                                               : "; the original is in the backups"));
}

// Finishes the recording: cuts the tail and writes the new size fields.
Outcome Apply(Repair& r) {
    DescriptorFile file(r.fd.get());
    if (!ApplyFinish(file, r.plan)) return Failed(r, std::strerror(errno));
    if (fsync(r.fd.get()) != 0) return Failed(r, std::strerror(errno));
    return std::nullopt;
}

// Reads the repaired file back and checks it whole.
Outcome Recheck(const Repair& r) {
    Pass pass;
    if (auto failure = pass.Open(r.path)) {
        return Failed(r, failure->error + ": the repaired file does not verify");
    }
    if (auto problem = CheckRecording(r.kind, *pass.window)) {
        return Failed(r, At(*problem) + ": the repaired file does not verify");
    }
    std::printf("%s: repaired: it verifies; the original header is in %s", r.name.c_str(),
                QuotedName(r.headerBackup).c_str());
    if (r.cutBytes > 0) {
        std::printf(", the %s cut in %s", Counted(r.cutBytes, "byte", "bytes").c_str(),
                    QuotedName(r.tailBackup).c_str());
    }
    std::printf("\n");
    return std::nullopt;
}

Outcome RunRepair(const CommandLine& line) {
    const bool dryRun = line.Has("--dry-run");
    Repair r;
    r.path = line.operands[0];
    r.name = QuotedName(r.path);
    r.headerBackup = r.path + ".header-backup";
    r.tailBackup = r.path + ".tail-backup";

    if (auto failure = PlanRepair(r, line.Has("--salvage"))) return failure;
    if (r.alreadyVerifies) {
        std::printf("%s: already verifies: nothing to repair, left untouched\n", r.name.c_str());
        return std::nullopt;
    }
    PrintPlan(r, dryRun);
    if (dryRun) {
        std::printf("%s: dry run: nothing written\n", r.name.c_str());
        return std::nullopt;
    }
    // What is printed so far goes out before anything is written, should the repair stop.
    std::fflush(stdout);
    // From the first backup on the repair is done whole or not at all: a signal that comes
    // before the file is touched undoes the backups, one that comes later waits until the
    // program ends, once the outcome has been told.
    static std::optional<HeldSignals> held;
    held.emplace();
    if (auto failure = BackUp(r)) return failure;
    if (held->Pending()) {
        RemoveBackups(r);
        return Untouched(r, "interrupted before it was written");
    }
    if (auto failure = Apply(r)) return failure;
    Outcome outcome = Recheck(r);
    std::fflush(stdout);
    return outcome;
}

}  // namespace

const CommandRow kRepairCommand{
    "repair", {kUsage}, {"--dry-run", "--salvage"}, {}, 1, "repair takes one FILE", RunRepair};

}  // namespace sonocap
