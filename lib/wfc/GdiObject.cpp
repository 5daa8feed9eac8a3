// Fonts and the toolkit's default logical font.
#include "GdiObject.h"

#include <cstring>

#include "_WindowPolicy.h"

namespace lib::wfc {

LOGFONTA DefaultLogFont(const char* face) {
  LOGFONTA font;
  std::memset(&font, 0, sizeof(font));
  font.lfHeight = 10;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfOutPrecision = OUT_DEFAULT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = ANTIALIASED_QUALITY;
  font.lfPitchAndFamily = DEFAULT_PITCH;
  if (face) {
    // Cut on a character boundary so a CP932 pair is never split.
    size_t length = 0;
    while (face[length] != '\0') {
      const bool lead =
          IsDBCSLeadByteEx(932, static_cast<BYTE>(face[length])) && face[length + 1] != '\0';
      const size_t next = length + (lead ? 2 : 1);
      if (next > sizeof(font.lfFaceName) - 1) break;
      length = next;
    }
    std::memcpy(font.lfFaceName, face, length);
  }
  return font;
}

void CFont::Create(const LOGFONTA& font) {
  const HFONT made = ::CreateFontIndirectA(&font);
  if (!made) throw bad_alloc();
  _font.Reset(made);
}

}  // namespace lib::wfc
