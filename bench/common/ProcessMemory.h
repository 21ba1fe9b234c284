#pragma once

namespace Velmora {
namespace Bench {

// A field of /proc/self/status in KiB: "VmRSS" the resident set now, "VmHWM"
// its peak since the last resetPeak(); -1 where it cannot be read.
long statusKb(const char* field);
// Starts the peak over from the present use (Linux 4.0 and later); false
// where the kernel does not allow it.
bool resetPeak();

} // namespace Bench
} // namespace Velmora
