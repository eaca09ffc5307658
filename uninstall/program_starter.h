#pragma once

#include <cstdint>
#include <string>

// Starts a program as a new process, without a shell and without waiting for it. The result
// follows the old convention of the call it stands for: 32 or more means started, anything
// below 32 is the reason it was not.

namespace sonocap::uninstall {

inline constexpr std::uint32_t kStartSucceeded = 32;      // the lowest result that means started
inline constexpr std::uint32_t kStartOutOfResources = 0;  // also any failure without its own code
inline constexpr std::uint32_t kStartFileNotFound = 2;
inline constexpr std::uint32_t kStartPathNotFound = 3;
inline constexpr std::uint32_t kStartAccessDenied = 5;
inline constexpr std::uint32_t kStartBadFormat = 11;

class ProgramStarter {
  public:
    virtual ~ProgramStarter() = default;
    virtual std::uint32_t Start(const std::string& program, const std::string& argument) = 0;
    // Whether the program started last has ended; false while it runs or when this cannot tell.
    virtual bool Ended() = 0;
};

}  // namespace sonocap::uninstall
