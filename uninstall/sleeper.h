#pragma once

#include <cstdint>

namespace sonocap::uninstall {

class Sleeper {
  public:
    virtual ~Sleeper() = default;
    virtual void Sleep(std::uint32_t ms) = 0;
};

}  // namespace sonocap::uninstall
