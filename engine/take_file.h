#pragma once

#include <cstdint>

// The recording file while the take runs: its header follows the take, so that the file plays
// up to its last stored buffer at any moment, and its data is written back as it comes and
// made durable every few seconds and at the end.

namespace sonocap {

// Buffers between two syncs of the file's data: about three seconds of audio.
inline constexpr int32_t kBuffersPerSync = 8;

// Bytes in front of the samples or the first record of the take's format.
int64_t HeaderBytes();

// Writes the header for the counters as they stand over the one at the start of the file,
// without moving the file offset; true when all of it was stored.
bool WriteHeaderForCounters();

// After a buffer was stored whole from `offset` on: starts its write-back, rewrites the header
// behind it and, every kBuffersPerSync buffers, asks for the data to be made durable.
void FollowTake(int64_t offset);

// At the end of a take: waits until the file's data and length are on the disk. False (with
// a line in the log) when the system says they may not be.
bool MakeTakeDurable();

}  // namespace sonocap
