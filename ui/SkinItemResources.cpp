#include "SkinItemResources.h"

#include <map>
#include <mutex>
#include <set>

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
  std::lock_guard<std::mutex> hold(g_lock);
  const auto found = Pictures().find(Key(name));
  if (found != Pictures().end()) _dib = &found->second;
}

CItemPicture::~CItemPicture() = default;

void PutItemPicture(const std::string& name, lib::wfc::CDIB picture) {
  std::lock_guard<std::mutex> hold(g_lock);
  Pictures()[Key(name)] = std::move(picture);
}

}  // namespace ui
