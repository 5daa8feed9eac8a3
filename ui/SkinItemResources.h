// The pictures a window's items use: the window's owner list in the skin
// picture cache, and a handle that holds one picture locked while an item
// draws it. Both belong to the window's thread; the cache itself is shared
// under its own locks.
#pragma once

#include <memory>
#include <string>

#include "DIB.h"

namespace ui {

class CSkinItemResources {
 public:
  CSkinItemResources();
  ~CSkinItemResources();
  CSkinItemResources(const CSkinItemResources&) = delete;
  CSkinItemResources& operator=(const CSkinItemResources&) = delete;

  // Makes sure the picture is cached and counted once for this window.
  // Throws CSkinWindowException when it cannot be read.
  void Acquire(const std::string& name);

 private:
  struct Impl;
  std::unique_ptr<Impl> _impl;
};

// One acquired picture, locked for the life of the object.
class CItemPicture {
 public:
  explicit CItemPicture(const std::string& name);
  ~CItemPicture();
  CItemPicture(const CItemPicture&) = delete;
  CItemPicture& operator=(const CItemPicture&) = delete;

  // Null when the picture is not in the cache.
  const lib::wfc::CDIB* Get() const { return _dib; }

 private:
  const lib::wfc::CDIB* _dib = nullptr;
};

// Puts a picture made in memory under a name, as if a skin carried it.
void PutItemPicture(const std::string& name, lib::wfc::CDIB picture);

}  // namespace ui
