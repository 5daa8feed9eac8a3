#include "SkinItemResources.h"

#include <map>
#include <memory>
#include <set>

#include "DIB.h"

namespace ui {

// Stand-in until the shared picture cache is wired in.
struct CSkinItemResources::Impl {
  std::set<std::string> names;
};

struct CItemPicture::Impl {};

CSkinItemResources::CSkinItemResources() : _impl(new Impl) {}
CSkinItemResources::~CSkinItemResources() { delete _impl; }

void CSkinItemResources::Acquire(const std::string& name) { _impl->names.insert(name); }

CItemPicture::CItemPicture(const std::string&) : _impl(nullptr) {}
CItemPicture::~CItemPicture() = default;

}  // namespace ui
