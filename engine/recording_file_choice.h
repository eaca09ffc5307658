#pragma once

#include <cstdint>
#include <string>

// Choosing the recording file with the save dialog, and the directory that is remembered.

namespace sonocap {

// Fills filePath from the save dialog (filter and extension by the compression switch) and
// remembers its directory in lastDirectory. 1 when a file was chosen; 0 on cancel and on a
// dialog failure; kPathTooLong for a path that does not fit filePath (only refusedPath keeps
// it).
int32_t ChooseRecordingFile();

// The directory part of `path`: everything before its last '/', "/" for a file in the root,
// the whole path when it has no '/'.
std::string DirectoryOfPath(const std::string& path);

}  // namespace sonocap
