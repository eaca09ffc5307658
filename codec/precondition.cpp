#include "codec/precondition.h"

#include <cstdio>
#include <cstdlib>

namespace sonocap {

void PreconditionFailed(const char* what) {
    std::fprintf(stderr, "sonocap: internal error: %s\n", what);
    std::abort();
}

}  // namespace sonocap
