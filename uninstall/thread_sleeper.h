#pragma once

#include "uninstall/sleeper.h"

namespace sonocap::uninstall {

class ThreadSleeper : public Sleeper {
  public:
    void Sleep(std::uint32_t ms) override;
};

}  // namespace sonocap::uninstall
