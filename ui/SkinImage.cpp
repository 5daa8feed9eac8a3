#include "SkinImage.h"

#include <atomic>
#include <map>

#include "Log.h"
#include "SkinDefinition.h"
#include "SkinException.h"
#include "SkinSource.h"
#include "StringUtil.h"

namespace ui {

namespace {

const char kImageType[] = "skin";
const char kLanguageSuffix[] = "/lang";
const size_t kMaxName = 260;

class CDefaultSkinImageSource final : public ISkinImageSource {
 public:
  bool Decode(const std::string& name, bool language, lib::wfc::CDIB* out,
              std::string* error) override {
    if (IsSkinFromResources()) {
      HMODULE module = GetSkinModule();
      if (language && GetLanguageModule()) module = GetLanguageModule();
      if (out->DecodeResource(module, name.c_str(), kImageType)) return true;
      *error = name + "が読み込めません.";
      return false;
    }
    const std::string path = lib::wfc::GetModuleFolder(GetModuleHandleA(nullptr)) + "Skin\\" + name;
    if (out->DecodeFile(path.c_str())) return true;
    *error = path + "が読み込めません.";
    return false;
  }
};

CDefaultSkinImageSource g_default_source;
std::atomic<ISkinImageSource*> g_source{nullptr};

ISkinImageSource& CurrentSource() {
  ISkinImageSource* source = g_source.load();
  return source ? *source : g_default_source;
}

// The decoded picture, or false with the failure's text; shows no box, so
// it may run under the cache lock.
bool TryLoadSkinImage(const std::string& image_name, std::unique_ptr<lib::wfc::CDIB>* out,
                      std::string* error) {
  std::string name = image_name.substr(
      0, Cp932SafeLength(image_name.data(), std::min(image_name.size(), kMaxName)));
  const size_t suffix = sizeof(kLanguageSuffix) - 1;
  const bool language = name.size() > 4 && name.size() >= suffix &&
                        ToLower(name.substr(name.size() - suffix)) == kLanguageSuffix;
  if (language) name.resize(name.size() - suffix);
  auto dib = std::make_unique<lib::wfc::CDIB>();
  if (!CurrentSource().Decode(name, language, dib.get(), error)) return false;
  *out = std::move(dib);
  return true;
}

lib::wfc::CCriticalSection& CacheLock() {
  static lib::wfc::CCriticalSection lock;
  return lock;
}

// Guarded by CacheLock(); entries are deleted only under it.
std::map<std::string, std::unique_ptr<CCachedDIBImpl>>& Cache() {
  static std::map<std::string, std::unique_ptr<CCachedDIBImpl>> cache;
  return cache;
}

}  // namespace

ISkinImageSource* SetSkinImageSource(ISkinImageSource* source) { return g_source.exchange(source); }

ISkinImageSource& DefaultSkinImageSource() { return g_default_source; }

std::unique_ptr<lib::wfc::CDIB> LoadSkinImage(const std::string& image_name) {
  std::unique_ptr<lib::wfc::CDIB> dib;
  std::string error;
  if (!TryLoadSkinImage(image_name, &dib, &error)) ThrowSkinException(error);
  return dib;
}

std::string CCachedDIBImpl::KeyOf(const std::string& image_name) { return ToUpper(image_name); }

void CCachedDIBImpl::Acquire(SkinImageOwnerList* owner, const std::string& image_name) {
  const std::string key = KeyOf(image_name);
  for (const std::string& k : *owner) {
    if (k == key) return;
  }
  std::string error;
  {
    lib::wfc::CLock hold(&CacheLock());
    auto& cache = Cache();
    const auto found = cache.find(key);
    if (found != cache.end()) {
      lib::wfc::CLock entry(&found->second->_lock);
      ++found->second->_count;
      owner->push_back(key);
      return;
    }
    // Decoded under the cache lock, so each picture is decoded once.
    std::unique_ptr<lib::wfc::CDIB> dib;
    if (TryLoadSkinImage(image_name, &dib, &error)) {
      cache.emplace(key, std::make_unique<CCachedDIBImpl>(key, std::move(dib)));
      owner->push_back(key);
      return;
    }
  }
  // The box waits for the user: never under the cache lock.
  ThrowSkinException(error);
}

void CCachedDIBImpl::ReleaseAll(SkinImageOwnerList* owner) {
  lib::wfc::CLock hold(&CacheLock());
  auto& cache = Cache();
  for (const std::string& key : *owner) {
    const auto found = cache.find(key);
    if (found == cache.end()) continue;
    CCachedDIBImpl& entry = *found->second;
    entry._lock.Enter();
    const bool last = --entry._count == 0;
    entry._lock.Leave();
    // No other thread can reach the entry any more: it is found only
    // through the map, under the cache lock held here.
    if (last) cache.erase(found);
  }
  owner->clear();
}

int CCachedDIBImpl::Users(const std::string& image_name) {
  lib::wfc::CLock hold(&CacheLock());
  const auto found = Cache().find(KeyOf(image_name));
  if (found == Cache().end()) return 0;
  lib::wfc::CLock entry(&found->second->_lock);
  return found->second->_count;
}

CCachedDIB::CCachedDIB(const std::string& image_name) : _entry(nullptr) {
  lib::wfc::CLock hold(&CacheLock());
  const auto found = Cache().find(CCachedDIBImpl::KeyOf(image_name));
  if (found != Cache().end()) _entry = found->second.get();
}

lib::wfc::CDIB* CCachedDIB::Lock() {
  if (!_entry) return nullptr;
  if (!_locked) {
    _entry->_lock.Enter();
    _locked = true;
  }
  return _entry->_dib.get();
}

void CCachedDIB::Unlock() {
  if (!_locked) return;
  _entry->_lock.Leave();
  _locked = false;
}

}  // namespace ui
