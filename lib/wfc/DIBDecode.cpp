// Decoding pictures into a CDIB through GDI+'s flat interface. GDI+ is
// started for each decode and shut down after it; the start and stop are
// counted under a lock so that overlapping decodes on several threads share
// one start and the last one out stops it.
#include "DIB.h"

// GDI+'s headers need the property-set types that the lean Windows headers
// leave out.
#include <propidl.h>
// clang-format off
#include <gdiplus.h>
// clang-format on

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "Handle.h"
#include "Log.h"
#include "PngPalette.h"
#include "Resource.h"
#include "Threads.h"

namespace lib::wfc {

namespace {

namespace gp = Gdiplus;
namespace gpflat = Gdiplus::DllExports;

// Serialises the start and stop; a bare interlocked counter would let a
// second decode use GDI+ while the first is still starting it.
CCriticalSection& GdiplusLock() {
  static CCriticalSection lock;
  return lock;
}
int g_gdiplus_users = 0;        // guarded by GdiplusLock()
ULONG_PTR g_gdiplus_token = 0;  // guarded by GdiplusLock()

class CGdiplusSession final {
 public:
  CGdiplusSession() {
    CLock lock(&GdiplusLock());
    if (g_gdiplus_users == 0) {
      gp::GdiplusStartupInput input;
      if (gp::GdiplusStartup(&g_gdiplus_token, &input, nullptr) != gp::Ok) return;
    }
    ++g_gdiplus_users;
    _started = true;
  }
  ~CGdiplusSession() {
    if (!_started) return;
    CLock lock(&GdiplusLock());
    if (--g_gdiplus_users == 0) gp::GdiplusShutdown(g_gdiplus_token);
  }
  CGdiplusSession(const CGdiplusSession&) = delete;
  CGdiplusSession& operator=(const CGdiplusSession&) = delete;

  bool Started() const { return _started; }

 private:
  bool _started = false;
};

struct BitmapDestroyer {
  static void Destroy(gp::GpBitmap* bitmap) { gpflat::GdipDisposeImage(bitmap); }
};
struct GlobalDestroyer {
  static void Destroy(HGLOBAL memory) { ::GlobalFree(memory); }
};
struct StreamDestroyer {
  static void Destroy(IStream* stream) { stream->Release(); }
};
template <typename H, typename D>
using COwner = ::CScopedHandle<HandleTraits<H, D>>;

// The picture formats GDI+ names, in the order of ImageFormat's values; they
// differ only in their first field.
int FormatOf(const GUID& raw) {
  static const GUID kTail = {0, 0x0728, 0x11d3, {0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
  static const unsigned long kFirst[] = {0xb96b3caa, 0xb96b3cab, 0xb96b3cac, 0xb96b3cad,
                                         0xb96b3cae, 0xb96b3caf, 0xb96b3cb0, 0xb96b3cb1,
                                         0xb96b3cb2, 0xb96b3cb5};
  if (raw.Data2 != kTail.Data2 || raw.Data3 != kTail.Data3 ||
      std::memcmp(raw.Data4, kTail.Data4, sizeof(raw.Data4)) != 0) {
    return kImageUnknown;
  }
  for (size_t i = 0; i < sizeof(kFirst) / sizeof(kFirst[0]); ++i) {
    if (raw.Data1 == kFirst[i]) return static_cast<int>(i) + 1;
  }
  return kImageUnknown;
}

// The palette chunks of a PNG read through the stream, which is put back
// where it was.
bool StreamPalette(IStream* stream, PngPalette* palette) {
  LARGE_INTEGER zero = {};
  ULARGE_INTEGER start = {};
  if (FAILED(stream->Seek(zero, STREAM_SEEK_CUR, &start))) return false;
  const bool found = ReadPngPalette(
      [stream, &start](uint64_t offset, void* buffer, size_t size) {
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(start.QuadPart + offset);
        ULONG got = 0;
        return SUCCEEDED(stream->Seek(at, STREAM_SEEK_SET, nullptr)) &&
               SUCCEEDED(stream->Read(buffer, static_cast<ULONG>(size), &got)) && got == size;
      },
      palette);
  LARGE_INTEGER back;
  back.QuadPart = static_cast<LONGLONG>(start.QuadPart);
  stream->Seek(back, STREAM_SEEK_SET, nullptr);
  return found;
}

// Gives every fully transparent entry of an indexed picture's palette the key
// colour, opaque, so that conversion to 24 bits leaves the key where the
// holes are. Returns the key, kNoKey when the palette has no such entry.
COLORREF RewritePalette(gp::GpBitmap* bitmap) {
  INT size = 0;
  if (gpflat::GdipGetImagePaletteSize(bitmap, &size) != gp::Ok ||
      size < static_cast<INT>(sizeof(gp::ColorPalette))) {
    return kNoKey;
  }
  std::vector<uint8_t> memory(static_cast<size_t>(size));
  auto* palette = reinterpret_cast<gp::ColorPalette*>(memory.data());
  if (gpflat::GdipGetImagePalette(bitmap, palette, size) != gp::Ok) return kNoKey;
  if (!(palette->Flags & gp::PaletteFlagsHasAlpha)) return kNoKey;
  std::vector<uint32_t> colours;
  std::vector<uint8_t> alpha;
  for (UINT i = 0; i < palette->Count; ++i) {
    colours.push_back(palette->Entries[i] & 0xFFFFFF);
    alpha.push_back(static_cast<uint8_t>(palette->Entries[i] >> 24));
  }
  if (std::find(alpha.begin(), alpha.end(), 0) == alpha.end()) return kNoKey;
  const uint32_t key = ChooseKeyColour(colours, alpha);
  for (UINT i = 0; i < palette->Count; ++i) {
    if (alpha[i] == 0) palette->Entries[i] = 0xFF000000 | key;
  }
  if (gpflat::GdipSetImagePalette(bitmap, palette) != gp::Ok) return kNoKey;
  return RGB(key >> 16, (key >> 8) & 0xFF, key & 0xFF);
}

bool LockInto(gp::GpBitmap* bitmap, CDIB* dib) {
  // The rows are locked straight into the bitmap: top row first, so a
  // bottom-up bitmap is walked with a negative stride.
  gp::BitmapData data = {};
  data.Width = static_cast<UINT>(dib->Width());
  data.Height = static_cast<UINT>(dib->Height());
  data.Stride = dib->IsBottomUp() ? -dib->Stride() : dib->Stride();
  data.PixelFormat = PixelFormat24bppRGB;
  data.Scan0 = dib->Row(0);
  const gp::GpRect rect(0, 0, dib->Width(), dib->Height());
  if (gpflat::GdipBitmapLockBits(bitmap, &rect,
                                 gp::ImageLockModeRead | gp::ImageLockModeUserInputBuf,
                                 PixelFormat24bppRGB, &data) != gp::Ok) {
    return false;
  }
  return gpflat::GdipBitmapUnlockBits(bitmap, &data) == gp::Ok;
}

// For pictures that arrive as ARGB although they were a palette with a
// transparent entry: the key where alpha is 0, the colour elsewhere.
bool LockKeyed(gp::GpBitmap* bitmap, CDIB* dib, uint32_t key) {
  gp::BitmapData data = {};
  const gp::GpRect rect(0, 0, dib->Width(), dib->Height());
  if (gpflat::GdipBitmapLockBits(bitmap, &rect, gp::ImageLockModeRead, PixelFormat32bppARGB,
                                 &data) != gp::Ok) {
    return false;
  }
  for (int y = 0; y < dib->Height(); ++y) {
    const auto* from =
        static_cast<const uint8_t*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride;
    uint8_t* to = dib->Row(y);
    for (int x = 0; x < dib->Width(); ++x, from += 4, to += 3) {
      if (from[3] == 0) {
        to[0] = static_cast<uint8_t>(key);
        to[1] = static_cast<uint8_t>(key >> 8);
        to[2] = static_cast<uint8_t>(key >> 16);
      } else {
        to[0] = from[0];
        to[1] = from[1];
        to[2] = from[2];
      }
    }
  }
  return gpflat::GdipBitmapUnlockBits(bitmap, &data) == gp::Ok;
}

// A stream over a copy of the bytes, freed with the stream.
COwner<IStream*, StreamDestroyer> StreamOver(const void* data, size_t size) {
  COwner<HGLOBAL, GlobalDestroyer> memory(::GlobalAlloc(GMEM_FIXED, size ? size : 1));
  if (!memory) return {};
  if (size) std::memcpy(static_cast<void*>(memory.Get()), data, size);
  IStream* stream = nullptr;
  if (FAILED(::CreateStreamOnHGlobal(memory.Get(), TRUE, &stream))) return {};
  memory.Detach();
  return COwner<IStream*, StreamDestroyer>(stream);
}

// A stream over the whole file, read into fixed global memory that the
// stream frees; empty when the file cannot be read.
COwner<IStream*, StreamDestroyer> StreamOverFile(HANDLE file) {
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(file, &size) || size.QuadPart <= 0 || size.QuadPart > 0x7FFFFFFF) return {};
  const size_t bytes = static_cast<size_t>(size.QuadPart);
  COwner<HGLOBAL, GlobalDestroyer> memory(::GlobalAlloc(GMEM_FIXED, bytes));
  if (!memory) return {};
  auto* data = static_cast<uint8_t*>(static_cast<void*>(memory.Get()));
  size_t done = 0;
  while (done < bytes) {
    DWORD got = 0;
    if (!::ReadFile(file, data + done, static_cast<DWORD>(bytes - done), &got, nullptr) ||
        got == 0) {
      return {};
    }
    done += got;
  }
  IStream* stream = nullptr;
  if (FAILED(::CreateStreamOnHGlobal(memory.Get(), TRUE, &stream))) return {};
  memory.Detach();
  return COwner<IStream*, StreamDestroyer>(stream);
}

}  // namespace

bool CDIB::Decode(IStream* stream) {
  if (!stream) return false;
  PngPalette png;
  const bool png_keyed = StreamPalette(stream, &png) && png.HasTransparentEntry();
  CGdiplusSession session;
  if (!session.Started()) {
    OV_LOG(kLogError, "GDI+を開始できません");
    return false;
  }
  gp::GpBitmap* raw = nullptr;
  const gp::GpStatus status = gpflat::GdipCreateBitmapFromStream(stream, &raw);
  COwner<gp::GpBitmap*, BitmapDestroyer> bitmap(raw);
  if (status != gp::Ok || !bitmap) {
    OV_LOG(kLogError, "画像を読み込めません status:%d", static_cast<int>(status));
    return false;
  }
  UINT width = 0, height = 0;
  gp::PixelFormat format = 0;
  GUID raw_format = {};
  gpflat::GdipGetImageWidth(bitmap.Get(), &width);
  gpflat::GdipGetImageHeight(bitmap.Get(), &height);
  gpflat::GdipGetImagePixelFormat(bitmap.Get(), &format);
  gpflat::GdipGetImageRawFormat(bitmap.Get(), &raw_format);
  if (width == 0 || height == 0 || width > 0x7FFF || height > 0x7FFF) {
    OV_LOG(kLogError, "画像の大きさが不正です %ux%u", width, height);
    return false;
  }
  // Decoded aside, so a failure leaves the bitmap as it was.
  CDIB picture;
  picture.Create(nullptr, static_cast<int>(width), static_cast<int>(height), 24);
  COLORREF key = kNoKey;
  bool locked = false;
  if (gp::IsIndexedPixelFormat(format)) {
    key = RewritePalette(bitmap.Get());
    locked = LockInto(bitmap.Get(), &picture);
  } else if (png_keyed && gp::IsAlphaPixelFormat(format)) {
    // The decoder turned the palette into ARGB: the key comes from the file's
    // own palette, so the result matches a decoder that keeps the palette.
    const uint32_t chosen = ChooseKeyColour(png.colours, png.alpha);
    key = RGB(chosen >> 16, (chosen >> 8) & 0xFF, chosen & 0xFF);
    locked = LockKeyed(bitmap.Get(), &picture, chosen);
  } else {
    locked = LockInto(bitmap.Get(), &picture);
  }
  if (!locked) {
    OV_LOG(kLogError, "画像の画素を読めません %ux%u format:0x%X", width, height,
           static_cast<unsigned>(format));
    return false;
  }
  *this = std::move(picture);
  _format = FormatOf(raw_format);
  _key = key;
  return true;
}

bool CDIB::Decode(const void* data, size_t size) {
  if (!data || size == 0) return false;
  COwner<IStream*, StreamDestroyer> stream = StreamOver(data, size);
  return stream && Decode(stream.Get());
}

bool CDIB::DecodeFile(const char* path) {
  CFileHandle file(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  COwner<IStream*, StreamDestroyer> stream;
  if (file) stream = StreamOverFile(file.Get());
  if (!stream) {
    OV_LOG(kLogError, "画像ファイルを読めません %s ERR:%lu", path, ::GetLastError());
    return false;
  }
  return Decode(stream.Get());
}

bool CDIB::DecodeFileW(const wchar_t* path) {
  CFileHandle file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  COwner<IStream*, StreamDestroyer> stream;
  if (file) stream = StreamOverFile(file.Get());
  if (!stream) {
    OV_LOG(kLogError, "画像ファイルを読めません ERR:%lu", ::GetLastError());
    return false;
  }
  return Decode(stream.Get());
}

bool CDIB::DecodeResource(HINSTANCE instance, const char* name, const char* type) {
  size_t size = 0;
  const void* data = LoadRawResource(name, type, &size, instance);
  if (!data) {
    OV_LOG(kLogError, "画像リソースがありません %s", IS_INTRESOURCE(name) ? "#" : name);
    return false;
  }
  return Decode(data, size);
}

}  // namespace lib::wfc
