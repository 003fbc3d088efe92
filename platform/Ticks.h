// Millisecond clock and blocking sleep, standing where GetTickCount and Sleep stood.
#pragma once

#include <cstdint>

namespace orvex {

// Monotonic milliseconds cut to 32 bits: wraps after about 49.7 days, like GetTickCount.
std::uint32_t tickCount();

// Blocks the calling thread; the UI thread does not handle events meanwhile.
void sleepMs(unsigned milliseconds);

} // namespace orvex
