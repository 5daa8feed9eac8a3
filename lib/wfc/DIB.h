// CDIB: the device-independent bitmap every skinned window renders into,
// with key-colour, alpha and tile blits, lightening, and decoding of pictures
// (PNG and whatever else GDI+ reads) into it. A CDIB is used by one thread
// at a time; decoding may run on several threads at once.
#pragma once

#include <objidl.h>

#include <cstdint>

#include "GdiObject.h"
#include "OvWindows.h"

namespace lib::wfc {

// "No key colour": every source pixel is drawn.
constexpr COLORREF kNoKey = 0xFFFFFFFF;
// The key colour of every skin picture and of the holes of shaped windows.
constexpr COLORREF kMagenta = 0x00FF00FF;

// The format a picture was decoded from.
enum ImageFormat : int {
  kImageUnknown = 0,
  kImageMemoryBMP = 1,
  kImageBMP = 2,
  kImageEMF = 3,
  kImageWMF = 4,
  kImageJPEG = 5,
  kImagePNG = 6,
  kImageGIF = 7,
  kImageTIFF = 8,
  kImageEXIF = 9,
  kImageIcon = 10,
};

// Pixels are B, G, R (and a fourth byte at 32 bits); a positive height is
// stored bottom-up, a negative one top-down. Coordinates are always counted
// from the top-left corner. Blits, Fill and Lighten work on 24-bit bitmaps.
class CDIB final {
 public:
  CDIB();
  CDIB(CDIB&& other) noexcept;
  CDIB& operator=(CDIB&& other) noexcept;
  CDIB(const CDIB&) = delete;
  CDIB& operator=(const CDIB&) = delete;

  // CreateDIBSection in a memory DC of `dc` (of the screen when null) with
  // 16, 24 or 32 bits; replaces the previous bitmap, the clip becomes the
  // whole image. A width or height of 0 gives an empty bitmap. Throws
  // bad_alloc on failure.
  void Create(HDC dc, int width, int height, int bits_per_pixel = 24);
  void Create(int width, int height, int bits_per_pixel = 24) {
    Create(nullptr, width, height, bits_per_pixel);
  }

  HBITMAP Get() const { return _bitmap.Get(); }
  explicit operator bool() const { return _bitmap.IsValid(); }
  const BITMAPINFOHEADER& Header() const { return _header; }
  uint8_t* Bits() { return _bits; }
  const uint8_t* Bits() const { return _bits; }
  int Width() const { return _header.biWidth; }
  int Height() const { return _height; }
  int BitsPerPixel() const { return _header.biBitCount; }
  int Stride() const { return _stride; }
  bool IsBottomUp() const { return _header.biHeight > 0; }
  RECT Rect() const { return RECT{0, 0, Width(), Height()}; }
  // Row y counted from the top; null outside the image.
  uint8_t* Row(int y);
  const uint8_t* Row(int y) const;

  // The pixel at x, y as a COLORREF; kNoKey outside the image.
  COLORREF GetPixel(int x, int y) const;
  void SetPixel(int x, int y, COLORREF colour);

  void Fill(COLORREF colour);
  // Returns the previous clip. Blits never reach outside the image whatever
  // the clip says.
  RECT SetClip(const RECT& clip);
  const RECT& Clip() const { return _clip; }

  // Copies a rectangle of `source`; pixels equal to `key` leave the
  // destination as it was (kNoKey copies everything).
  void BlitKeyed(int dx, int dy, int width, int height, const CDIB& source, int sx, int sy,
                 COLORREF key = kNoKey);
  // Each channel becomes d + ((s - d) * (alpha + 1) >> 8); key pixels are
  // skipped.
  void AlphaBlit(int dx, int dy, int width, int height, const CDIB& source, int sx, int sy,
                 int alpha, COLORREF key = kNoKey);
  // Fills the rectangle with copies of `tile` of the source (the whole source
  // when null). Unanchored tiles line up with multiples of the tile size from
  // the bitmap's origin, anchored ones start at dx, dy. Alpha 255 blits
  // keyed, any other alpha blends. An empty tile draws nothing.
  void TileBlit(int dx, int dy, int width, int height, const CDIB& source, bool anchored,
                const RECT* tile, int alpha = 255, COLORREF key = kNoKey);
  // Adds percent x 255 / 100 to every channel (negative darkens), kept within
  // 0..255; the second form leaves key pixels alone.
  void Lighten(int percent);
  void Lighten(int percent, COLORREF key);

  // Decoding replaces the bitmap with a 24-bit bottom-up picture. A palette
  // picture with a transparent entry comes out with its transparent pixels
  // in a colour no opaque entry has (KeyColour). False, with a log line, when
  // the data is no picture; bad_alloc when the bitmap cannot be made.
  bool Decode(IStream* stream);
  bool Decode(const void* data, size_t size);
  bool DecodeFile(const char* path);
  bool DecodeFileW(const wchar_t* path);
  bool DecodeResource(HINSTANCE instance, const char* name, const char* type);
  // What the last decode read: an ImageFormat value, 0 when none.
  int ImageFormat() const { return _format; }
  // The colour that marks transparent pixels of a decoded palette picture;
  // kNoKey when the picture had none.
  COLORREF KeyColour() const { return _key; }

 private:
  bool Is24() const { return _bits != nullptr && _header.biBitCount == 24; }

  CBitmap _bitmap;
  BITMAPINFOHEADER _header;
  uint8_t* _bits = nullptr;  // owned by _bitmap
  int _height = 0;
  int _stride = 0;
  RECT _clip = {0, 0, 0, 0};
  int _format = kImageUnknown;
  COLORREF _key = kNoKey;
};

// Clips a bitmap to its intersection with a rectangle for the life of the
// object, then puts the previous clip back.
class CDIBClip final {
 public:
  CDIBClip(CDIB& dib, const RECT& rect);
  ~CDIBClip() { _dib.SetClip(_previous); }
  CDIBClip(const CDIBClip&) = delete;
  CDIBClip& operator=(const CDIBClip&) = delete;

 private:
  CDIB& _dib;  // not owned
  RECT _previous;
};

}  // namespace lib::wfc
