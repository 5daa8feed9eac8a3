// Reading the test-only environment values; see EnvironmentOverrides.h.
#include "EnvironmentOverrides.h"

#include "OvWindows.h"

#include <vector>

std::string GetEnvironmentOverride(const char* name) {
  char small[MAX_PATH * 2];
  const DWORD n = GetEnvironmentVariableA(name, small, sizeof(small));
  if (n == 0) return std::string();
  if (n < sizeof(small)) return std::string(small, n);
  // Too long for the buffer: n is the size it needs, the NUL included.
  std::vector<char> large(n);
  const DWORD m = GetEnvironmentVariableA(name, large.data(), n);
  return m > 0 && m < n ? std::string(large.data(), m) : std::string();
}
