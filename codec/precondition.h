#pragma once

// A broken precondition that would let memory be overrun stops the program at once, with a line
// saying which, rather than writing past an array.

namespace sonocap {

[[noreturn]] void PreconditionFailed(const char* what);

inline void Require(bool holds, const char* what) {
    if (!holds) PreconditionFailed(what);
}

}  // namespace sonocap
