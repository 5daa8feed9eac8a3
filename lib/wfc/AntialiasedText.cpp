// Anti-aliased text into a 24-bit bitmap.
#include "AntialiasedText.h"

namespace lib::wfc {

bool DrawTextAntialiased(HDC, const BITMAPINFOHEADER&, void*, const char*, RECT*, UINT,
                         const RECT*) {
  return false;
}

}  // namespace lib::wfc
