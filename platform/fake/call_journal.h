#pragma once

#include <string>
#include <vector>

namespace sonocap::platform {

// The steps that several fakes were asked to take, in one order, so that a test can check
// the order of steps across layers ("file close" after "window send 16").
struct CallJournal {
    std::vector<std::string> steps;

    void Add(std::string step) { steps.push_back(std::move(step)); }
    // Index of the first step equal to `step` at or after `from`; -1 when there is none.
    int Find(const std::string& step, int from = 0) const;
    int Count(const std::string& step) const;
};

}  // namespace sonocap::platform
