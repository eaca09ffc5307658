#pragma once

#include <string>
#include <vector>

// While a take runs, a small record of it in the user's state folder (takeRecordFolder): its
// path, format, device and inode, and the size and time it has reached. A take that ends
// normally removes its record; a record found at the next start names a take that the program
// could not stop (killed, crashed, the power went), and that take is finished then.

namespace sonocap {

// Writes the record of the take just started. When the folder cannot be written the take goes
// on without a record, and the log says so once a run.
void OpenTakeRecord();

// Rewrites the record with the size and time reached; every few seconds while recording.
void UpdateTakeRecord();

// The take ended normally: its record is removed.
void CloseTakeRecord();

// What start-up says of one take record, in the user's words.
struct FinishedTake {
    std::string plain;
    // Another running program records the take: nothing ended, the record stays.
    bool stillRecorded = false;
};

// Finishes each take that a record names, unless a running copy still records it: the bytes
// behind the last whole frame or record are cut, the sizes set, the file made durable and
// its modification time put back. A file that is not the one recorded (another inode or
// format, shorter than the record says, not a recording) is left untouched. One log line
// for each record; returns the window's plain words for each.
std::vector<FinishedTake> FinishInterruptedTakes();

}  // namespace sonocap
