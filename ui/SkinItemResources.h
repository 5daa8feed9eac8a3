// The pictures a window's items use: the window's owner list in the skin
// picture cache, and a handle that holds one picture locked while an item
// draws it. Both belong to the window's thread; the cache itself is shared
// under its own locks (cache before entry).
#pragma once

#include <string>

#include "DIB.h"
#include "SkinImage.h"

namespace ui {

// The window's item resource object: what its items acquired, let go of
// when the window is deleted.
class CSkinItemResources {
 public:
  CSkinItemResources() = default;
  CSkinItemResources(const CSkinItemResources&) = delete;
  CSkinItemResources& operator=(const CSkinItemResources&) = delete;

  // Makes sure the picture is cached and counted once for this window.
  // Throws CSkinWindowException (after its box) when it cannot be read.
  void Acquire(const std::string& name) { _owner.Acquire(name); }
  const SkinImageOwnerList& Keys() const { return _owner.Keys(); }

 private:
  CSkinImageOwner _owner;
};

// One acquired picture, locked for the life of the object.
class CItemPicture {
 public:
  explicit CItemPicture(const std::string& name) : _cached(name), _dib(_cached.Lock()) {}
  CItemPicture(const CItemPicture&) = delete;
  CItemPicture& operator=(const CItemPicture&) = delete;

  // Null when nobody acquired the picture: the drawing is skipped.
  const lib::wfc::CDIB* Get() const { return _dib; }

 private:
  CCachedDIB _cached;
  const lib::wfc::CDIB* _dib;
};

}  // namespace ui
