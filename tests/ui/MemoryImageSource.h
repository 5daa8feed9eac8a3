// Pictures made in memory by a test, served to the skin picture cache under
// their names; every other name goes to the real source (the resources).
// Installed once for the test process.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "DIB.h"
#include "SkinImage.h"

namespace uitest {

class CMemoryImageSource final : public ui::ISkinImageSource {
 public:
  // The process's one instance, installed on first use.
  static CMemoryImageSource& Installed() {
    static CMemoryImageSource source;
    static const bool installed = (ui::SetSkinImageSource(&source), true);
    (void)installed;
    return source;
  }

  void Put(const std::string& name, lib::wfc::CDIB picture) {
    std::lock_guard<std::mutex> hold(_mutex);
    _pictures[ui::CCachedDIBImpl::KeyOf(name)] = std::move(picture);
  }

  bool Decode(const std::string& name, bool language, lib::wfc::CDIB* out,
              std::string* error) override {
    {
      std::lock_guard<std::mutex> hold(_mutex);
      const auto found = _pictures.find(ui::CCachedDIBImpl::KeyOf(name));
      if (found != _pictures.end()) {
        const lib::wfc::CDIB& picture = found->second;
        out->Create(picture.Width(), picture.Height());
        out->BlitKeyed(0, 0, picture.Width(), picture.Height(), picture, 0, 0);
        return true;
      }
    }
    return ui::DefaultSkinImageSource().Decode(name, language, out, error);
  }

 private:
  CMemoryImageSource() = default;

  std::mutex _mutex;
  std::map<std::string, lib::wfc::CDIB> _pictures;  // guarded by _mutex
};

}  // namespace uitest
