#pragma once

#include <cstdint>

// The recording file while the take runs: its header follows the take, so that the file plays
// up to its last stored buffer at any moment, and its data is written back as it comes and
// made durable every few seconds and at the end.

namespace sonocap {

// Buffers between two syncs of the file's data: about three seconds of audio.
inline constexpr int32_t kBuffersPerSync = 8;
// Buffers whose write-back starts together, half way to the sync and with it. Starting it
// costs the kernel about as much for four buffers as for one (0.1 ms on a virtual disk).
inline constexpr int32_t kBuffersPerWriteBack = kBuffersPerSync / 2;

// Bytes in front of the samples or the first record of the take's format.
int64_t HeaderBytes();

// Writes the header for the counters as they stand over the one at the start of the file,
// without moving the file offset; true when all of it was stored.
bool WriteHeaderForCounters();

// After a buffer was stored whole: every kBuffersPerWriteBack buffers starts the write-back of
// what was stored since the last start, rewrites the header behind the buffer and, every
// kBuffersPerSync buffers, asks for the data to be made durable.
void FollowTake();

// At the end of a take: waits until the file's data and length are on the disk. False (with
// a line in the log) when the system says they may not be.
bool MakeTakeDurable();

}  // namespace sonocap
