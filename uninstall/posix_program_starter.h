#pragma once

#include <sys/types.h>

#include "uninstall/program_starter.h"

namespace sonocap::uninstall {

// Starts a program with posix_spawn and does not wait for it. The helper ignores SIGCHLD so
// that a program ending before the helper does is reaped by the system and leaves no zombie;
// the started program gets the default disposition back.
class PosixProgramStarter : public ProgramStarter {
  public:
    std::uint32_t Start(const std::string& program, const std::string& argument) override;
    bool Ended() override;

  private:
    pid_t started_ = 0;
};

}  // namespace sonocap::uninstall
