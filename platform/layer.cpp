#include "platform/layer.h"

#include <cstdio>
#include <cstdlib>

namespace sonocap::platform {

void ReportMissingLayer(const char* name) {
    std::fprintf(stderr, "sonocap: the %s layer is used but none is installed\n", name);
    std::abort();
}

}  // namespace sonocap::platform
