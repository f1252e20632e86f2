// What memory this process holds, as /proc/self/status tells it, for tests that a large file costs little of it.
#pragma once

#include <fstream>
#include <string>

namespace testing_support {

// A value of /proc/self/status in KiB ("VmRSS:", "VmHWM:").
inline long StatusKiB(const std::string& key) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(key, 0) == 0) return std::stol(line.substr(key.size()));
  return -1;
}

// Resets the peak (VmHWM) to what the process holds now; false where the system does not allow it.
inline bool ResetPeakMemory() { return static_cast<bool>(std::ofstream("/proc/self/clear_refs") << "5" << std::flush); }

}  // namespace testing_support
