// Reading the skinned scroll bar's section; see the header.
#include "CustomScrollBarInfoItem.h"

#include <cstdlib>

#include "SkinKeySchema.h"

namespace ui {

namespace {

SkinKeySchema Ints(const char* key, size_t count) {
  return {key, std::vector<SkinParamKind>(count, kSkinInt)};
}

const SkinSchemaTable& Schema() {
  static const SkinSchemaTable table = {
      Ints("ResourceID", 1),        Ints("ButtonSize", 2),     Ints("HorzThumbSize", 2),
      Ints("VertThumbSize", 2),     Ints("HorzThumbPart", 3),  Ints("VertThumbPart", 3),
      Ints("LeftButtonImage", 8),   Ints("TopButtonImage", 8), Ints("RightButtonImage", 8),
      Ints("BottomButtonImage", 8), Ints("HorzThumbImage", 8), Ints("VertThumbImage", 8),
      Ints("HorzPageImage", 4),     Ints("VertPageImage", 4),  Ints("BottomRightImage", 4),
  };
  return table;
}

int Value(const SkinSection& section, const char* key, size_t index) {
  return std::atoi(section.GetValues(key)[index].c_str());
}

RECT Rect(const SkinSection& section, const char* key) {
  return {Value(section, key, 0), Value(section, key, 1), Value(section, key, 2),
          Value(section, key, 3)};
}

}  // namespace

void CCustomScrollBarInfoItem::Load(const SkinSection& section) {
  CheckSkinSection(section, Schema());
  _resource_id = Value(section, "ResourceID", 0);
  _button = {Value(section, "ButtonSize", 0), Value(section, "ButtonSize", 1)};
  _corner = Rect(section, "BottomRightImage");
  struct BarKeys {
    const char* first;
    const char* second;
    const char* thumb;
    const char* thumb_size;
    const char* thumb_part;
    const char* page;
  };
  const BarKeys keys[2] = {
      {"LeftButtonImage", "RightButtonImage", "HorzThumbImage", "HorzThumbSize", "HorzThumbPart",
       "HorzPageImage"},
      {"TopButtonImage", "BottomButtonImage", "VertThumbImage", "VertThumbSize", "VertThumbPart",
       "VertPageImage"},
  };
  for (int bar = 0; bar < 2; ++bar) {
    const BarKeys& k = keys[bar];
    const int w = Value(section, k.thumb_size, 0);
    const int h = Value(section, k.thumb_size, 1);
    const int a = Value(section, k.thumb_part, 0);
    const int b = Value(section, k.thumb_part, 1);
    const int c = Value(section, k.thumb_part, 2);
    const RECT page = Rect(section, k.page);
    // The fourth point of each image key (pressed and hot) is not drawn.
    for (int row = 0; row < kRows; ++row) {
      RECT* parts = _parts[bar][row];
      const size_t at = static_cast<size_t>(row) * 2;
      const int fx = Value(section, k.first, at), fy = Value(section, k.first, at + 1);
      const int sx = Value(section, k.second, at), sy = Value(section, k.second, at + 1);
      parts[0] = {fx, fy, fx + _button.cx, fy + _button.cy};
      parts[1] = {sx, sy, sx + _button.cx, sy + _button.cy};
      parts[2] = page;
      parts[3] = page;
      parts[4] = _empty;
      const int x = Value(section, k.thumb, at), y = Value(section, k.thumb, at + 1);
      if (bar == 0) {
        parts[5] = {x, y, x + a, y + h};
        parts[6] = {x + a, y, x + a + b, y + h};
        parts[7] = {x + w - c, y, x + w, y + h};
      } else {
        parts[5] = {x, y, x + w, y + a};
        parts[6] = {x, y + a, x + w, y + a + b};
        parts[7] = {x, y + h - c, x + w, y + h};
      }
    }
  }
}

const RECT& CCustomScrollBarInfoItem::GetPartRect(int bar, int row, int part) const {
  if (bar < 0 || bar > 1 || row < 0 || row >= kRows || part < 0 || part >= kParts) return _empty;
  return _parts[bar][row][part];
}

}  // namespace ui
