#include "engine/take_record.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "codec/unfinished_recording.h"
#include "engine/program_state.h"
#include "engine/recording_log.h"
#include "engine/recording_results.h"
#include "engine/take_file.h"
#include "platform/file_io.h"
#include "settings/parameter_record.h"

namespace sonocap {

namespace {

constexpr char kRecordPrefix[] = "take-";
constexpr char kFirstLine[] = "sonocap take\n";
constexpr std::size_t kLargestRecord = 8192;

struct TakeRecord {
    bool compressed = false;
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t frames = 0;
    std::string path;
};

const char* FormatName(bool compressed) {
    return compressed ? "Compaxa" : "WAV";
}

std::string RecordText(const TakeRecord& r) {
    char fields[256];
    std::snprintf(fields, sizeof fields,
                  "format=%s\ndevice=%" PRIu64 "\ninode=%" PRIu64 "\nsize=%" PRId64
                  "\nframes=%" PRId64 "\n",
                  FormatName(r.compressed), r.device, r.inode, r.size, r.frames);
    // The path comes last and runs to the end: any byte a path may hold is kept.
    return kFirstLine + std::string(fields) + "path=" + r.path;
}

bool ParseRecord(const std::string& text, TakeRecord& r) {
    if (text.rfind(kFirstLine, 0) != 0) return false;
    const std::size_t pathAt = text.find("\npath=");
    if (pathAt == std::string::npos) return false;
    r.path = text.substr(pathAt + 6);
    char format[16] = {};
    const std::string fields = text.substr(std::strlen(kFirstLine), pathAt);
    if (std::sscanf(fields.c_str(),
                    "format=%15s device=%" SCNu64 " inode=%" SCNu64 " size=%" SCNd64
                    " frames=%" SCNd64,
                    format, &r.device, &r.inode, &r.size, &r.frames) != 5) {
        return false;
    }
    r.compressed = std::strcmp(format, "Compaxa") == 0;
    return (r.compressed || std::strcmp(format, "WAV") == 0) && r.path.rfind('/', 0) == 0 &&
           r.size >= 0 && r.frames >= 0;
}

void WriteRecord() {
    CaptureSession& s = captureSession;
    if (s.takeRecordPath.empty()) return;
    TakeRecord r;
    r.compressed = parameterRecord.compression != 0;
    r.device = s.fileStatus.device;
    r.inode = s.fileStatus.inode;
    r.size = HeaderBytes() + s.bytesWritten;
    r.frames = s.totalFrames;
    r.path = s.filePath;
    platform::FileIo& files = platform::Current<platform::FileIo>();
    if (files.ReplaceContents(s.takeRecordPath, RecordText(r))) return;
    if (!s.toldNoRecord) {
        s.toldNoRecord = true;
        LogAbout(takeRecordFolder,
                 "no record of the take can be kept here (" + SystemErrorText(files.LastError()) +
                     "): the recording goes on, but should the program end without stopping "
                     "it, the take is not finished at the next start");
    }
    s.takeRecordPath.clear();
}

// A file open for finishing, read and written by position.
class OpenTake final : public PositionalFile {
  public:
    OpenTake(platform::FileIo& files, platform::FileHandle file) : files_(files), file_(file) {}
    int64_t Length() override { return files_.Length(file_); }
    size_t ReadAt(uint64_t offset, void* data, size_t bytes) override {
        return files_.ReadAt(file_, static_cast<int64_t>(offset), data, bytes);
    }
    bool WriteAt(uint64_t offset, const void* data, size_t bytes) override {
        return files_.WriteAt(file_, static_cast<int64_t>(offset), data, bytes) == bytes;
    }
    bool Truncate(uint64_t length) override {
        return files_.Truncate(file_, static_cast<int64_t>(length));
    }

  private:
    platform::FileIo& files_;
    platform::FileHandle file_;
};

// Finishes the take of one record. Returns what the log says, what the window says in plain
// words, and whether the record is done with (false only while a running copy records the take).
bool FinishTake(const TakeRecord& r, std::string& told, std::string& plain) {
    const std::string name = "The take " + r.path.substr(r.path.rfind('/') + 1);
    plain = name + " was interrupted; it is left as it was (the log says why).";
    platform::FileIo& files = platform::Current<platform::FileIo>();
    const platform::FileHandle file = files.OpenForUpdate(r.path);
    if (file == platform::kNoFile) {
        if (files.LastError() == platform::kFileLockedError) {
            told =
                "the take is still locked by a running program (another copy of Sonocap "
                "recording it?): left alone";
            plain = name + " is still being recorded by another program.";
            return false;
        }
        told =
            "a take that was interrupted cannot be finished: " + SystemErrorText(files.LastError());
        return true;
    }
    if (files.LockFailure() != 0) {
        // Without locks nothing tells whether another program still records it.
        told = "a take that was interrupted is on a file system without locks (" +
               SystemErrorText(files.LockFailure()) +
               "), so it may still be recorded: left untouched; sonocap-cx repair finishes it";
        files.Close(file);
        return true;
    }
    platform::FileStatus status;
    FinishPlan plan;
    OpenTake take(files, file);
    if (!files.Status(file, status)) {
        told =
            "a take that was interrupted cannot be finished: " + SystemErrorText(files.LastError());
    } else if (status.device != r.device || status.inode != r.inode) {
        told = "another file now has the name of a take that was interrupted: left untouched";
    } else if (status.length < r.size) {
        told = "the take that was interrupted is shorter (" + std::to_string(status.length) +
               " bytes) than it was when last recorded (" + std::to_string(r.size) +
               " bytes): left untouched";
    } else if (const auto error = PlanFinish(take, plan)) {
        told = "the take that was interrupted is not a recording of ours any more (offset " +
               std::to_string(error->offset) + ": " + error->message + "): left untouched";
    } else if (plan.compressed != r.compressed) {
        told = std::string("the take that was interrupted was recorded as ") +
               FormatName(r.compressed) + " but is now a " + FormatName(plan.compressed) +
               " file: left untouched";
    } else if (plan.damage) {
        told = "the take that was interrupted holds damage with audio behind it (offset " +
               std::to_string(plan.damage->offset) + ": " + plan.damage->message +
               "): left untouched; sonocap-cx repair can say more";
    } else {
        // The finish must not make the take look newer than its end.
        const bool finished = (!plan.Changes() || ApplyFinish(take, plan)) &&
                              files.SetModifiedTime(file, status.modifiedNs) &&
                              files.SyncData(file);
        const auto frames = static_cast<int64_t>(plan.frames);
        told = "the take was interrupted at " + TakeTimeText(std::max(r.frames, frames)) +
               " (the program ended without stopping it); " +
               (finished ? "it has been finished and holds " + TakeTimeText(frames)
                         : "finishing it failed (" + SystemErrorText(files.LastError()) +
                               "); sonocap-cx repair can try again");
        plain = name + " was interrupted. " +
                (finished ? "It is finished now and holds " + ShownTakeTime(frames) + "."
                          : "It could not be finished; sonocap-cx repair can try again.");
    }
    files.Close(file);
    return true;
}

}  // namespace

void OpenTakeRecord() {
    CaptureSession& s = captureSession;
    s.takeRecordPath.clear();
    if (takeRecordFolder.empty()) return;
    platform::FileIo& files = platform::Current<platform::FileIo>();
    files.Status(s.file, s.fileStatus);
    files.MakeDirectories(takeRecordFolder);
    s.takeRecordPath = takeRecordFolder + "/" + kRecordPrefix +
                       std::to_string(s.fileStatus.device) + "-" +
                       std::to_string(s.fileStatus.inode);
    WriteRecord();
}

void UpdateTakeRecord() {
    WriteRecord();
}

void CloseTakeRecord() {
    CaptureSession& s = captureSession;
    if (s.takeRecordPath.empty()) return;
    platform::Current<platform::FileIo>().Remove(s.takeRecordPath);
    s.takeRecordPath.clear();
}

std::vector<FinishedTake> FinishInterruptedTakes() {
    std::vector<FinishedTake> texts;
    if (takeRecordFolder.empty()) return texts;
    platform::FileIo& files = platform::Current<platform::FileIo>();
    std::vector<std::string> names = files.ListDirectory(takeRecordFolder);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        if (name.rfind(kRecordPrefix, 0) != 0) continue;
        const std::string recordPath = takeRecordFolder + "/" + name;
        // A record being replaced when the program ended.
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".new") == 0) {
            files.Remove(recordPath);
            continue;
        }
        std::string text;
        TakeRecord r;
        if (!files.ReadContents(recordPath, text, kLargestRecord) || !ParseRecord(text, r)) {
            LogAbout(recordPath,
                     "the record of an interrupted take is damaged: removed, no file "
                     "was touched");
            files.Remove(recordPath);
            continue;
        }
        std::string told;
        std::string plain;
        const bool done = FinishTake(r, told, plain);
        if (done) files.Remove(recordPath);
        LogAbout(r.path, told);
        texts.push_back({plain, !done});
    }
    return texts;
}

}  // namespace sonocap
