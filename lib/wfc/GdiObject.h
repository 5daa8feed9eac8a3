// Owners of GDI objects (bitmaps, fonts, regions, brushes) and the
// toolkit's default logical font. An owner deletes its object when it is
// replaced or destroyed; a borrowed GDI handle stays a raw type. No thread
// rules beyond GDI's own: an object is used by one thread at a time.
#pragma once

#include "Handle.h"
#include "OvWindows.h"

namespace lib::wfc {

namespace gdi {
struct GDIObjectDestroyer {
  static void Destroy(HGDIOBJ object) { ::DeleteObject(object); }
};
}  // namespace gdi

// The foundation's one owner template over a handle type and the policy that
// destroys it; every handle of this kind is empty as null.
template <typename H, typename Destroyer>
struct HandleTraits {
  using Type = H;
  static Type Empty() { return nullptr; }
  static void Destroy(Type h) { Destroyer::Destroy(h); }
};
template <typename H, typename Destroyer>
using CHandle = ::CScopedHandle<HandleTraits<H, Destroyer>>;
template <typename H>
using CGDIObject = CHandle<H, gdi::GDIObjectDestroyer>;

using CBitmap = CGDIObject<HBITMAP>;
using CRegion = CGDIObject<HRGN>;
using CBrush = CGDIObject<HBRUSH>;

// The toolkit's logical font: height 10, weight 0, no italic, underline or
// strike-out, DEFAULT_CHARSET, default precisions, ANTIALIASED_QUALITY,
// default pitch; the face name (cut to 31 bytes) when one is given.
LOGFONTA DefaultLogFont(const char* face = nullptr);

class CFont final {
 public:
  CFont() = default;
  // Throws bad_alloc when the font cannot be made.
  explicit CFont(const LOGFONTA& font) { Create(font); }
  CFont(CFont&&) noexcept = default;
  CFont& operator=(CFont&&) noexcept = default;

  // Replaces the font held; throws bad_alloc when the new one cannot be made.
  void Create(const LOGFONTA& font);
  HFONT Get() const { return _font.Get(); }
  explicit operator bool() const { return _font.IsValid(); }

 private:
  CGDIObject<HFONT> _font;
};

}  // namespace lib::wfc
