#include "platform/fake/call_journal.h"

#include <algorithm>

namespace sonocap::platform {

int CallJournal::Find(const std::string& step, int from) const {
    for (int i = std::max(from, 0); i < static_cast<int>(steps.size()); ++i) {
        if (steps[static_cast<std::size_t>(i)] == step) return i;
    }
    return -1;
}

int CallJournal::Count(const std::string& step) const {
    return static_cast<int>(std::count(steps.begin(), steps.end(), step));
}

}  // namespace sonocap::platform
