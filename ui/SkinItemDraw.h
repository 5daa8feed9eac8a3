// Small drawing helpers the items share.
#pragma once

#include "DIB.h"

namespace ui {

// Narrows a bitmap's clip to a rectangle for the life of the object (within
// the clip already set) and puts the previous clip back.
class CNarrowClip final {
 public:
  CNarrowClip(lib::wfc::CDIB& dib, const RECT& rect);
  ~CNarrowClip() { _dib.SetClip(_previous); }
  CNarrowClip(const CNarrowClip&) = delete;
  CNarrowClip& operator=(const CNarrowClip&) = delete;

 private:
  lib::wfc::CDIB& _dib;  // not owned
  RECT _previous;
};

}  // namespace ui
