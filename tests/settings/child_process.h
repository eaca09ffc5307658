#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>

namespace sonocap::testing {

// Runs `body` in a forked child, so that it may lower limits or give up privileges without
// touching the test program; returns the child's exit code, or -1 if it did not exit.
inline int RunInChildProcess(const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0) std::_Exit(body());
    if (child < 0) return -1;
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace sonocap::testing
