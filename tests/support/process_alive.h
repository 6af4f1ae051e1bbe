#pragma once

#include <fstream>
#include <string>

namespace test_support {

// True while the process exists and is not a zombie waiting for its parent. Reads Linux's /proc,
// so only the POSIX tests use it.
inline bool is_running(const std::string& pid) {
  std::ifstream stat("/proc/" + pid + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  const auto close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

}  // namespace test_support
