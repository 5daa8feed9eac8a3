// A picture named by a skin key: the picture file and the rectangle cut out
// of it. Plain data.
#pragma once

#include <string>

#include "OvWindows.h"

namespace ui {

struct SkinItemPicture {
  std::string name;
  RECT rect = {0, 0, 0, 0};

  bool IsSet() const { return !name.empty(); }
  int Width() const { return rect.right - rect.left; }
  int Height() const { return rect.bottom - rect.top; }
};

}  // namespace ui
