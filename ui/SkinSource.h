// Where skin texts come from. The default source follows the process-wide
// switch (resources of type "Skin" or the program's "Skin" folder); tests put
// in-memory files in its place. The source is chosen at start-up (or by a
// test before it loads anything) and must be safe to read from any thread.
#pragma once

#include <string>

#include "OvWindows.h"

namespace ui {

struct SkinTextBytes {
  std::string bytes;
  bool utf16 = false;  // the bytes are UTF-16LE (any byte-order mark dropped)
};

class ISkinTextSource {
 public:
  virtual ~ISkinTextSource() = default;
  // The named text; false when there is none. A null module means the
  // default lookup (language module first, then the skin module).
  virtual bool ReadText(const std::string& name, HMODULE module, SkinTextBytes* out) = 0;
};

// Returns the previous source; null restores the default one.
ISkinTextSource* SetSkinTextSource(ISkinTextSource* source);
ISkinTextSource& CurrentSkinTextSource();

// The raw bytes of a resource of the given type in one module, read by its
// size; false when it is missing.
bool ReadSkinResource(HMODULE module, const char* name, const char* type, std::string* out);

}  // namespace ui
