// Skin pictures: decoding a picture named by a skin from the resources (or
// the "Skin" folder), and the process-wide cache that shares each decoded
// picture between every window and item using it. The cache lock comes
// before an entry's lock; no lock is held while a failure's box is shown.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "DIB.h"
#include "Threads.h"

namespace ui {

// Where pictures come from; tests count or replace the decoding. Must be
// safe on any thread.
class ISkinImageSource {
 public:
  virtual ~ISkinImageSource() = default;
  // Decodes the picture into `out`; false with `*error` set to the failure's
  // text otherwise. `language`: the name ended in "/lang" (cut off here).
  virtual bool Decode(const std::string& name, bool language, lib::wfc::CDIB* out,
                      std::string* error) = 0;
};

// Returns the previous source; null restores the default one.
ISkinImageSource* SetSkinImageSource(ISkinImageSource* source);
// Resources or the "Skin" folder, as the process-wide switch says.
ISkinImageSource& DefaultSkinImageSource();

// A new bitmap holding the decoded picture, or the skin exception with
// "<name>が読み込めません.".
std::unique_ptr<lib::wfc::CDIB> LoadSkinImage(const std::string& image_name);

// The keys of the pictures one window or item has acquired, each once.
using SkinImageOwnerList = std::vector<std::string>;

class CCachedDIBImpl final {
 public:
  CCachedDIBImpl(std::string key, std::unique_ptr<lib::wfc::CDIB> dib)
      : _key(std::move(key)), _dib(std::move(dib)) {}
  virtual ~CCachedDIBImpl() = default;
  CCachedDIBImpl(const CCachedDIBImpl&) = delete;
  CCachedDIBImpl& operator=(const CCachedDIBImpl&) = delete;

  // Makes sure the picture is cached and counted once for this owner.
  // Throws the skin exception when it cannot be decoded.
  static void Acquire(SkinImageOwnerList* owner, const std::string& image_name);
  // Lets go of every picture of the owner and empties its list.
  static void ReleaseAll(SkinImageOwnerList* owner);
  // How many owners hold the picture; 0 when it is not cached.
  static int Users(const std::string& image_name);

  // The cache's key of an image name: upper case, so case is ignored.
  static std::string KeyOf(const std::string& image_name);

 private:
  friend class CCachedDIB;

  lib::wfc::CCriticalSection _lock;
  int _count = 1;  // guarded by _lock
  std::string _key;
  std::unique_ptr<lib::wfc::CDIB> _dib;  // guarded by _lock
};

// An owner list that lets go of its pictures when it ends.
class CSkinImageOwner final {
 public:
  CSkinImageOwner() = default;
  ~CSkinImageOwner() { CCachedDIBImpl::ReleaseAll(&_keys); }
  CSkinImageOwner(const CSkinImageOwner&) = delete;
  CSkinImageOwner& operator=(const CSkinImageOwner&) = delete;

  void Acquire(const std::string& image_name) { CCachedDIBImpl::Acquire(&_keys, image_name); }
  void ReleaseAll() { CCachedDIBImpl::ReleaseAll(&_keys); }
  const SkinImageOwnerList& Keys() const { return _keys; }

 private:
  SkinImageOwnerList _keys;
};

// The bitmap of an acquired picture, for drawing between Lock and Unlock.
// The caller holds the picture (through its owner list) for the handle's
// life.
class CCachedDIB final {
 public:
  explicit CCachedDIB(const std::string& image_name);
  ~CCachedDIB() { Unlock(); }
  CCachedDIB(const CCachedDIB&) = delete;
  CCachedDIB& operator=(const CCachedDIB&) = delete;

  // Null when nobody acquired the name: the drawing is skipped.
  lib::wfc::CDIB* Lock();
  void Unlock();
  bool IsLocked() const { return _locked; }

 private:
  CCachedDIBImpl* _entry;  // not owned; null when not cached
  bool _locked = false;
};

}  // namespace ui
