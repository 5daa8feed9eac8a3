// The manual window's record of the user operations under way: one bit per
// operation, chosen by the window. Main thread only.
#pragma once

#include <cstdint>

namespace ui {

class COperationManager final {
 public:
  void Start(uint32_t bits);
  void End(uint32_t bits);
  uint32_t Status() const { return _status; }
  bool IsRunning(uint32_t bits) const { return (_status & bits) != 0; }

 private:
  uint32_t _status = 0;
};

}  // namespace ui
