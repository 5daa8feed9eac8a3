#include "SkinItemResources.h"

#include <map>
#include <mutex>
#include <set>

#include "SkinDefinition.h"

namespace ui {

namespace {

std::string Key(const std::string& name) {
  std::string key = name;
  for (char& c : key)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return key;
}

std::mutex g_lock;
std::map<std::string, lib::wfc::CDIB>& Pictures() {
  static std::map<std::string, lib::wfc::CDIB> pictures;  // guarded by g_lock
  return pictures;
}

}  // namespace

struct CSkinItemResources::Impl {
  std::set<std::string> names;
};

CSkinItemResources::CSkinItemResources() : _impl(std::make_unique<Impl>()) {}
CSkinItemResources::~CSkinItemResources() = default;

void CSkinItemResources::Acquire(const std::string& name) { _impl->names.insert(Key(name)); }

CItemPicture::CItemPicture(const std::string& name) {
  if (name.empty()) return;
  std::lock_guard<std::mutex> hold(g_lock);
  const std::string key = Key(name);
  auto found = Pictures().find(key);
  if (found == Pictures().end()) {
    // The skin's own picture, carried as a resource of type "SKIN".
    const HMODULE module = GetSkinModule() ? GetSkinModule() : GetModuleHandleA(nullptr);
    lib::wfc::CDIB picture;
    if (!picture.DecodeResource(module, key.c_str(), "SKIN")) return;
    found = Pictures().emplace(key, std::move(picture)).first;
  }
  _dib = &found->second;
}

CItemPicture::~CItemPicture() = default;

void PutItemPicture(const std::string& name, lib::wfc::CDIB picture) {
  std::lock_guard<std::mutex> hold(g_lock);
  Pictures()[Key(name)] = std::move(picture);
}

}  // namespace ui
