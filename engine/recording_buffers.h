#pragma once

namespace sonocap {

// Takes the recording's nine pool blocks: the headers array, the buffers array, the ring and
// one wave header per slot. Throws PoolOutOfMemory, leaving what it took recorded in the
// capture session so that FreeRecordingBuffers releases it.
void AllocateRecordingBuffers();

// Releases the ring, the six wave headers and the two arrays, in that order; safe on a
// partly allocated or already released set.
void FreeRecordingBuffers();

}  // namespace sonocap
