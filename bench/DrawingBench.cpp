// OvDrawingBench: the drawing objects measured for drawing_bench.sh. Every
// line is "<name> <best ms of the rounds> [count]"; the script turns them
// into ratios against the references measured in the same run.
//   regions <rounds>: 955 x 600 pictures cut by magenta: "solid" (a skin
//     picture: magenta outside rounded corners and two solid holes),
//     "scattered" (each pixel magenta by a coin toss); each with its run
//     count, and "scan" (reading every pixel once, the floor of any cut).
//   decode <rounds>: a 1024 x 1024 true-colour PNG made here: "ours"
//     (CDIB::Decode into a 24-bit bitmap, starting and stopping GDI+ as
//     every decode does), "started" (the same while GDI+ is kept started
//     elsewhere), "gdiplus_copy" (bare GDI+ decoding and locking the
//     pixels into a buffer of the caller's), "gdiplus" (the same, reading
//     the pixels where GDI+ keeps them) and "inflate" (zlib
//     unpacking the same pixel data: the floor of PNG decoding).
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "BenchTiming.h"
#include "DIB.h"
#include "OvWindows.h"
#include "PngWriter.h"
#include "Region.h"

// clang-format off
#include <propidl.h>
#include <gdiplus.h>
// clang-format on

namespace {

constexpr int kWidth = 955;
constexpr int kHeight = 600;

void SkinPicture(lib::wfc::CDIB* dib) {
  dib->Create(kWidth, kHeight);
  dib->Fill(RGB(40, 60, 80));
  const int radius = 12;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const int cx = std::clamp(x, radius, kWidth - 1 - radius);
      const int cy = std::clamp(y, radius, kHeight - 1 - radius);
      const bool outside = (x - cx) * (x - cx) + (y - cy) * (y - cy) > radius * radius;
      const bool hole = (x >= 100 && x < 300 && y >= 200 && y < 260) ||
                        (x >= 600 && x < 900 && y >= 400 && y < 560);
      if (outside || hole) dib->SetPixel(x, y, lib::wfc::kMagenta);
    }
  }
}

void ScatteredPicture(lib::wfc::CDIB* dib) {
  dib->Create(kWidth, kHeight);
  uint32_t state = 12345;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      state = state * 1664525u + 1013904223u;
      dib->SetPixel(x, y, (state >> 31) ? lib::wfc::kMagenta : RGB(x & 0xFF, y & 0xFF, 9));
    }
  }
}

int Regions(int rounds) {
  lib::wfc::CDIB solid, scattered;
  SkinPicture(&solid);
  ScatteredPicture(&scattered);
  const struct {
    const char* name;
    const lib::wfc::CDIB* dib;
  } pictures[] = {{"solid", &solid}, {"scattered", &scattered}};
  for (const auto& p : pictures) {
    const size_t runs = lib::wfc::CountRegionRuns(*p.dib, 0, 0, kWidth, kHeight);
    const double ms = Best(rounds, [&] {
      lib::wfc::CRegion region = lib::wfc::CreateRegionFromDIB(*p.dib, 0, 0, kWidth, kHeight);
      if (!region) std::abort();
    });
    printf("%s %.2f %zu\n", p.name, ms, runs);
  }
  volatile uint32_t sink = 0;
  const double scan = Best(rounds, [&] {
    uint32_t sum = 0;
    for (int y = 0; y < kHeight; ++y) {
      const uint8_t* row = scattered.Row(y);
      for (int x = 0; x < 3 * kWidth; ++x) sum += row[x];
    }
    sink = sink + sum;
  });
  printf("scan %.2f\n", scan);
  return 0;
}

std::vector<uint32_t> Photo(int size) {
  // Smooth shading with noise, so it packs about as a skin picture does.
  std::vector<uint32_t> pixels(static_cast<size_t>(size) * size);
  uint32_t state = 99;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      state = state * 1664525u + 1013904223u;
      const uint32_t noise = (state >> 28) & 7;
      pixels[static_cast<size_t>(y) * size + x] =
          ((x / 4 + noise) & 0xFF) << 16 | ((y / 4) & 0xFF) << 8 | (((x + y) / 8 + noise) & 0xFF);
    }
  }
  return pixels;
}

// into: the caller's buffer for the rows (top row first), or null to read
// them where GDI+ keeps them.
bool GdiplusOnly(const std::string& png, std::vector<uint8_t>* into) {
  namespace gp = Gdiplus;
  namespace flat = Gdiplus::DllExports;
  HGLOBAL memory = GlobalAlloc(GMEM_FIXED, png.size());
  std::memcpy(static_cast<void*>(memory), png.data(), png.size());
  IStream* stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream))) return false;
  gp::GpBitmap* bitmap = nullptr;
  bool ok = flat::GdipCreateBitmapFromStream(stream, &bitmap) == gp::Ok;
  if (ok) {
    UINT w = 0, h = 0;
    flat::GdipGetImageWidth(bitmap, &w);
    flat::GdipGetImageHeight(bitmap, &h);
    gp::BitmapData data = {};
    const gp::GpRect rect(0, 0, static_cast<INT>(w), static_cast<INT>(h));
    UINT mode = gp::ImageLockModeRead;
    if (into) {
      const INT stride = static_cast<INT>((w * 3 + 3) & ~3u);
      into->resize(static_cast<size_t>(stride) * h);
      data.Width = w;
      data.Height = h;
      data.Stride = stride;
      data.PixelFormat = PixelFormat24bppRGB;
      data.Scan0 = into->data();
      mode |= gp::ImageLockModeUserInputBuf;
    }
    ok = flat::GdipBitmapLockBits(bitmap, &rect, mode, PixelFormat24bppRGB, &data) == gp::Ok &&
         flat::GdipBitmapUnlockBits(bitmap, &data) == gp::Ok;
    flat::GdipDisposeImage(bitmap);
  }
  stream->Release();
  return ok;
}

int Decode(int rounds) {
  const int size = 1024;
  const std::vector<uint32_t> pixels = Photo(size);
  const std::string png = ovtest::EncodePngRgb(size, size, pixels);
  // The filtered rows, packed as the PNG packs them.
  std::string rows;
  for (int y = 0; y < size; ++y) {
    rows.push_back('\0');
    for (int x = 0; x < size; ++x) {
      const uint32_t p = pixels[static_cast<size_t>(y) * size + x];
      rows.push_back(static_cast<char>(p >> 16));
      rows.push_back(static_cast<char>(p >> 8));
      rows.push_back(static_cast<char>(p));
    }
  }
  uLongf packed_size = compressBound(static_cast<uLong>(rows.size()));
  std::string packed(packed_size, '\0');
  compress2(reinterpret_cast<Bytef*>(&packed[0]), &packed_size,
            reinterpret_cast<const Bytef*>(rows.data()), static_cast<uLong>(rows.size()), 6);

  const double ours = Best(rounds, [&] {
    lib::wfc::CDIB dib;
    if (!dib.Decode(png.data(), png.size()) || dib.GetPixel(5, 5) == lib::wfc::kNoKey) std::abort();
  });
  // GDI+ kept started, as it would be inside a decode.
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartup(&token, &input, nullptr);
  const double ours_started = Best(rounds, [&] {
    lib::wfc::CDIB dib;
    if (!dib.Decode(png.data(), png.size())) std::abort();
  });
  const double bare = Best(rounds, [&] {
    if (!GdiplusOnly(png, nullptr)) std::abort();
  });
  const double bare_copy = Best(rounds, [&] {
    std::vector<uint8_t> rows_out;
    if (!GdiplusOnly(png, &rows_out)) std::abort();
  });
  Gdiplus::GdiplusShutdown(token);
  std::string out(rows.size(), '\0');
  const double inflate = Best(rounds, [&] {
    uLongf out_size = static_cast<uLongf>(out.size());
    if (uncompress(reinterpret_cast<Bytef*>(&out[0]), &out_size,
                   reinterpret_cast<const Bytef*>(packed.data()), packed_size) != Z_OK) {
      std::abort();
    }
  });
  printf("started %.2f\n", ours_started);
  printf("gdiplus_copy %.2f\n", bare_copy);
  printf("ours %.2f %zu\ngdiplus %.2f\ninflate %.2f\n", ours, png.size(), bare, inflate);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  if (command == "regions") return Regions(rounds);
  if (command == "decode") return Decode(rounds);
  fprintf(stderr, "usage: OvDrawingBench regions|decode [rounds]\n");
  return 2;
}
