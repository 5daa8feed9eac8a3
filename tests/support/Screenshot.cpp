// Window screenshots for window tests.
#include "Screenshot.h"

#include <cstdlib>
#include <vector>

#include "DC.h"
#include "DIB.h"
#include "PngWriter.h"

namespace ovtest {

bool SaveScreenshot(HWND window, const std::string& name) {
  const char* source = std::getenv("OV_SOURCE_DIR");
  RECT r = {};
  if (!source || !*source || !::IsWindow(window) || !::GetWindowRect(window, &r)) return false;
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return false;
  lib::wfc::CDIB shot;
  shot.Create(width, height);
  {
    lib::wfc::CMemDC memory;
    const HGDIOBJ previous = memory.SelectObject(shot.Get());
    const HDC screen = ::GetDC(nullptr);
    ::BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    ::ReleaseDC(nullptr, screen);
    ::GdiFlush();
    memory.SelectObject(previous);
  }
  std::vector<uint32_t> pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const COLORREF c = shot.GetPixel(x, y);
      pixels.push_back(static_cast<uint32_t>(GetRValue(c)) << 16 | GetGValue(c) << 8 |
                       GetBValue(c));
    }
  }
  // A Linux path in the environment: reached through Wine's Z: drive.
  std::string folder = std::string(source[0] == '/' ? "Z:" : "") + source + "\\build\\screens";
  for (char& c : folder) {
    if (c == '/') c = '\\';
  }
  ::CreateDirectoryA(folder.c_str(), nullptr);
  return WriteBytes(folder + "\\" + name + ".png", EncodePngRgb(width, height, pixels));
}

}  // namespace ovtest
