// Conversions of a key's values into points, rectangles, colours, picture
// cut-outs and fonts. Numbers are read as the C library's atoi reads them
// (non-numeric text is 0), clamped to the int range. A key with too few
// values after the position throws the skin exception with the schema's
// count text, a missing key with its "not defined" text.
#pragma once

#include <cstddef>
#include <string>

#include "GdiObject.h"
#include "OvWindows.h"
#include "SkinDefinition.h"

namespace ui {

struct SkinImageRef {
  std::string name;
  RECT rect{};
};

// The key's values, at least `needed` of them from `pos` on.
const SkinValues& SkinValuesAt(const SkinSection& section, const std::string& key, size_t pos,
                               size_t needed);

int IntFromValues(const SkinSection& section, const std::string& key, size_t pos = 0);
POINT PointFromValues(const SkinSection& section, const std::string& key, size_t pos = 0);
RECT RectFromValues(const SkinSection& section, const std::string& key, size_t pos = 0);
RECT RectFromPositionSize(const SkinSection& section, const std::string& position_key = "Position",
                          const std::string& size_key = "Size");
COLORREF ColorFromValues(const SkinSection& section, const std::string& key, size_t pos = 0);
SkinImageRef ImageRefFromValues(const SkinSection& section, const std::string& key, size_t pos = 0);
// Face name, size and weight. A face name that does not fit the 32-byte
// field with its terminator throws std::bad_alloc.
LOGFONTA LogFontFromValues(const SkinSection& section, const std::string& key, size_t pos = 0);
lib::wfc::CFont FontFromValues(const SkinSection& section, const std::string& key, size_t pos = 0);

}  // namespace ui
