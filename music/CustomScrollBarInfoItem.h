// The skin section of the skinned scroll bars: the bitmap's resource id,
// the button size and the source rectangle of every part of both bars in
// the normal, hot and pressed states. Read once from a checked section;
// afterwards read-only, so any thread may ask.
#pragma once

#include "OvWindows.h"
#include "SkinDefinition.h"

namespace ui {

class CCustomScrollBarInfoItem {
 public:
  static constexpr int kRows = 3;   // normal, hot, pressed
  static constexpr int kParts = 8;  // see GetPartRect

  CCustomScrollBarInfoItem() = default;
  virtual ~CCustomScrollBarInfoItem() = default;

  // Checks the section against its schema (throwing the skin exception
  // after its box) and reads it.
  void Load(const SkinSection& section);

  int ResourceId() const { return _resource_id; }
  SIZE ButtonSize() const { return _button; }
  const RECT& CornerRect() const { return _corner; }
  // bar 0 horizontal, 1 vertical; part 0 first button, 1 second button,
  // 2 page before, 3 page after, 4 never drawn, 5 thumb first end, 6 thumb
  // middle, 7 thumb last end. Out of range: the empty rectangle
  // (-1, -1, -1, -1).
  const RECT& GetPartRect(int bar, int row, int part) const;

 private:
  int _resource_id = 0;
  SIZE _button = {};
  RECT _corner = {};
  RECT _empty = {-1, -1, -1, -1};
  RECT _parts[2][kRows][kParts] = {};
};

}  // namespace ui
