#include "uninstall/posix_program_starter.h"

#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <cerrno>
#include <vector>

extern char** environ;

namespace sonocap::uninstall {

namespace {

std::uint32_t StartFailure(int error) {
    switch (error) {
        case ENOENT:
            return kStartFileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return kStartPathNotFound;
        case EACCES:
        case EPERM:
            return kStartAccessDenied;
        case ENOEXEC:
            return kStartBadFormat;
        default:
            return kStartOutOfResources;
    }
}

}  // namespace

std::uint32_t PosixProgramStarter::Start(const std::string& program, const std::string& argument) {
    ::signal(SIGCHLD, SIG_IGN);

    posix_spawnattr_t attributes;
    if (::posix_spawnattr_init(&attributes) != 0) return kStartOutOfResources;
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGCHLD);
    ::posix_spawnattr_setsigdefault(&attributes, &defaults);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

    std::vector<char> programText(program.begin(), program.end());
    programText.push_back('\0');
    std::vector<char> argumentText(argument.begin(), argument.end());
    argumentText.push_back('\0');
    char* arguments[] = {programText.data(), argumentText.data(), nullptr};

    pid_t child = 0;
    const int error =
        ::posix_spawn(&child, programText.data(), nullptr, &attributes, arguments, environ);
    ::posix_spawnattr_destroy(&attributes);
    if (error != 0) return StartFailure(error);
    started_ = child;
    return kStartSucceeded;
}

bool PosixProgramStarter::Ended() {
    if (started_ <= 0) return false;
    // With SIGCHLD ignored the system reaps an ended child at once: then it is no child any
    // more (ECHILD), which a process of another parent reusing its number cannot change.
    const pid_t waited = ::waitpid(started_, nullptr, WNOHANG);
    return waited == started_ || (waited < 0 && errno == ECHILD);
}

}  // namespace sonocap::uninstall
