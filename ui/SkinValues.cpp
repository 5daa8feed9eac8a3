#include "SkinValues.h"

#include <climits>
#include <new>

#include "SkinException.h"
#include "SkinKeySchema.h"
#include "SkinParser.h"

namespace ui {

const SkinValues& SkinValuesAt(const SkinSection& section, const std::string& key, size_t pos,
                               size_t needed) {
  const SkinValues& values = section.GetValues(key);
  if (values.size() < pos + needed) {
    ThrowSkinException(SkinKeyCountText(section.Name(), key, pos + needed, values.size()));
  }
  return values;
}

int IntFromValues(const SkinSection& section, const std::string& key, size_t pos) {
  return SkinAtoi(SkinValuesAt(section, key, pos, 1)[pos]);
}

POINT PointFromValues(const SkinSection& section, const std::string& key, size_t pos) {
  const SkinValues& v = SkinValuesAt(section, key, pos, 2);
  return POINT{SkinAtoi(v[pos]), SkinAtoi(v[pos + 1])};
}

RECT RectFromValues(const SkinSection& section, const std::string& key, size_t pos) {
  const SkinValues& v = SkinValuesAt(section, key, pos, 4);
  return RECT{SkinAtoi(v[pos]), SkinAtoi(v[pos + 1]), SkinAtoi(v[pos + 2]), SkinAtoi(v[pos + 3])};
}

RECT RectFromPositionSize(const SkinSection& section, const std::string& position_key,
                          const std::string& size_key) {
  const POINT at = PointFromValues(section, position_key);
  const POINT size = PointFromValues(section, size_key);
  // Wrapping sums stay defined: the arithmetic is done unsigned.
  auto add = [](int a, int b) {
    return static_cast<LONG>(static_cast<unsigned>(a) + static_cast<unsigned>(b));
  };
  return RECT{at.x, at.y, add(at.x, size.x), add(at.y, size.y)};
}

COLORREF ColorFromValues(const SkinSection& section, const std::string& key, size_t pos) {
  const SkinValues& v = SkinValuesAt(section, key, pos, 3);
  const auto byte = [](const std::string& s) { return static_cast<BYTE>(SkinAtoi(s) & 0xFF); };
  return RGB(byte(v[pos]), byte(v[pos + 1]), byte(v[pos + 2]));
}

SkinImageRef ImageRefFromValues(const SkinSection& section, const std::string& key, size_t pos) {
  const SkinValues& v = SkinValuesAt(section, key, pos, 5);
  SkinImageRef ref;
  ref.name = v[pos];
  ref.rect =
      RECT{SkinAtoi(v[pos + 1]), SkinAtoi(v[pos + 2]), SkinAtoi(v[pos + 3]), SkinAtoi(v[pos + 4])};
  return ref;
}

LOGFONTA LogFontFromValues(const SkinSection& section, const std::string& key, size_t pos) {
  const SkinValues& v = SkinValuesAt(section, key, pos, 3);
  LOGFONTA font{};
  const std::string& face = v[pos];
  if (face.size() + 1 > sizeof(font.lfFaceName)) throw std::bad_alloc();
  const int size = SkinAtoi(v[pos + 1]);
  font.lfHeight = size == INT_MIN ? INT_MAX : -size;
  font.lfWidth = 0;
  font.lfWeight = SkinAtoi(v[pos + 2]);
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = ANTIALIASED_QUALITY;
  face.copy(font.lfFaceName, face.size());
  return font;
}

lib::wfc::CFont FontFromValues(const SkinSection& section, const std::string& key, size_t pos) {
  return lib::wfc::CFont(LogFontFromValues(section, key, pos));
}

}  // namespace ui
