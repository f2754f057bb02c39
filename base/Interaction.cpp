#include "base/Interaction.h"

#include <thread>

namespace sv {

void SteadyClock::SleepMs(std::int64_t ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace sv
