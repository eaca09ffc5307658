#include "uninstall/thread_sleeper.h"

#include <chrono>
#include <thread>

namespace sonocap::uninstall {

void ThreadSleeper::Sleep(std::uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace sonocap::uninstall
