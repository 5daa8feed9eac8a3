// Pictures decoded through GDI+ into 24-bit bitmaps, from PNGs the tests
// write themselves: exact pixels for true colour and palette pictures, the
// key colour of palettes with a transparent entry, files, resources, broken
// data and decodes on several threads at once.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "DIB.h"
#include "PngPalette.h"
#include "PngWriter.h"
#include "Region.h"
#include "Resource.h"
#include "StringUtil.h"
#include "TestSupport.h"

namespace {

using lib::wfc::CDIB;
using lib::wfc::kNoKey;

COLORREF FromRgb(uint32_t rgb) { return RGB(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF); }

std::vector<uint32_t> Gradient(int width, int height) {
  std::vector<uint32_t> pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      pixels.push_back((static_cast<uint32_t>(x * 37 % 256) << 16) |
                       (static_cast<uint32_t>(y * 53 % 256) << 8) | ((x * y + 11) % 256));
    }
  }
  return pixels;
}

void ExpectPixels(const CDIB& dib, int width, int height, const std::vector<uint32_t>& rgb) {
  ASSERT_EQ(dib.Width(), width);
  ASSERT_EQ(dib.Height(), height);
  EXPECT_EQ(dib.BitsPerPixel(), 24);
  EXPECT_TRUE(dib.IsBottomUp());
  int wrong = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const COLORREF want = FromRgb(rgb[static_cast<size_t>(y) * width + x]);
      if (dib.GetPixel(x, y) != want && ++wrong <= 5) {
        ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << dib.GetPixel(x, y)
                      << " instead of " << want;
      }
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST(DecodeTest, TrueColourPngGivesExactPixels) {
  // An odd width, so rows are padded in the bitmap.
  for (const auto& size : {std::pair<int, int>{7, 5}, {1, 1}, {130, 3}}) {
    const std::vector<uint32_t> pixels = Gradient(size.first, size.second);
    CDIB dib;
    const std::string png = ovtest::EncodePngRgb(size.first, size.second, pixels);
    ASSERT_TRUE(dib.Decode(png.data(), png.size()));
    ExpectPixels(dib, size.first, size.second, pixels);
    EXPECT_EQ(dib.ImageFormat(), lib::wfc::kImagePNG);
    EXPECT_EQ(dib.KeyColour(), kNoKey);
  }
}

TEST(DecodeTest, OpaquePixelsOfAnAlphaPngKeepTheirColour) {
  std::vector<uint32_t> pixels = Gradient(6, 4);
  for (uint32_t& p : pixels) p |= 0xFF000000;
  const std::string png = ovtest::EncodePngRgba(6, 4, pixels);
  CDIB dib;
  ASSERT_TRUE(dib.Decode(png.data(), png.size()));
  for (uint32_t& p : pixels) p &= 0xFFFFFF;
  ExpectPixels(dib, 6, 4, pixels);
  EXPECT_EQ(dib.KeyColour(), kNoKey);
}

struct PaletteCase {
  std::string name;
  int bit_depth;
  std::vector<uint32_t> palette;
  std::vector<uint8_t> alpha;
  COLORREF key;  // expected KeyColour
};

class PaletteDecodeTest : public ::testing::TestWithParam<PaletteCase> {};

TEST_P(PaletteDecodeTest, PixelsAndKey) {
  const PaletteCase& c = GetParam();
  const int width = 9, height = 4;
  std::vector<uint8_t> indices;
  std::vector<uint32_t> want;
  const uint32_t key_rgb =
      c.key == kNoKey ? 0 : (GetRValue(c.key) << 16) | (GetGValue(c.key) << 8) | GetBValue(c.key);
  for (int i = 0; i < width * height; ++i) {
    const uint8_t index = static_cast<uint8_t>((i * 7 + i / 3) % c.palette.size());
    indices.push_back(index);
    const bool hole = index < c.alpha.size() && c.alpha[index] == 0;
    want.push_back(hole ? key_rgb : c.palette[index]);
  }
  const std::string png =
      ovtest::EncodePngPalette(width, height, indices, c.palette, c.alpha, c.bit_depth);
  CDIB dib;
  ASSERT_TRUE(dib.Decode(png.data(), png.size()));
  ExpectPixels(dib, width, height, want);
  EXPECT_EQ(dib.KeyColour(), c.key);
  EXPECT_EQ(dib.ImageFormat(), lib::wfc::kImagePNG);
  if (c.key == kNoKey) return;
  // Cut by its key, the picture keeps exactly its opaque pixels.
  const lib::wfc::CRegion region =
      lib::wfc::CreateRegionFromDIB(dib, 0, 0, width, height, dib.KeyColour());
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint8_t index = indices[static_cast<size_t>(y) * width + x];
      const bool hole = index < c.alpha.size() && c.alpha[index] == 0;
      EXPECT_EQ(PtInRegion(region.Get(), x, y) != FALSE, !hole) << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Palettes, PaletteDecodeTest,
    ::testing::Values(
        PaletteCase{
            "EightBitNoTransparency", 8, {0x102030, 0xFF00FF, 0x00FF00, 0xABCDEF}, {}, kNoKey},
        PaletteCase{"FourBit", 4, {0x000000, 0x808080, 0xFFFFFF, 0x123456, 0x654321}, {}, kNoKey},
        PaletteCase{"TwoBit", 2, {0x0000FF, 0xFF0000, 0x00FF00}, {}, kNoKey},
        PaletteCase{"OneBit", 1, {0x000000, 0xFFFFFF}, {}, kNoKey},
        // The transparent entry shares black with an opaque one: the key is
        // the smallest colour no opaque entry has, so black stays visible.
        PaletteCase{"TransparentSharesItsColour",
                    8,
                    {0x000000, 0x000000, 0x000001, 0xFF0000},
                    {0, 255, 255},
                    RGB(0, 0, 2)},
        PaletteCase{
            "TransparentMagenta", 8, {0x102030, 0xFF00FF, 0x405060}, {255, 0}, RGB(0, 0, 0)},
        // Half-transparent entries stay their own colour.
        PaletteCase{"HalfTransparentStays",
                    8,
                    {0x000000, 0x0000FF, 0x112233, 0x000001},
                    {128, 0, 255, 255},
                    RGB(0, 0, 2)},
        PaletteCase{"FourBitWithTransparency",
                    4,
                    {0x000000, 0xFFFFFF, 0x00FF00},
                    {255, 255, 0},
                    RGB(0, 0, 1)}),
    ovtest::CaseName());

TEST(DecodeTest, FilesWithNarrowAndWideNames) {
  ovtest::CTempDir dir;
  const std::vector<uint32_t> pixels = Gradient(5, 3);
  const std::string png = ovtest::EncodePngRgb(5, 3, pixels);
  const std::string narrow = dir.File("Base.png");
  ASSERT_TRUE(ovtest::WriteBytes(narrow, png));
  CDIB dib;
  ASSERT_TRUE(dib.DecodeFile(narrow.c_str()));
  ExpectPixels(dib, 5, 3, pixels);

  const std::wstring wide = ToWide(dir.Path()) + L"\x753B\x50CF\x00E9.png";
  CFileHandle file(CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_TRUE(file);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file.Get(), png.data(), static_cast<DWORD>(png.size()), &written, nullptr));
  file.Reset();
  CDIB wide_dib;
  ASSERT_TRUE(wide_dib.DecodeFileW(wide.c_str()));
  ExpectPixels(wide_dib, 5, 3, pixels);

  CDIB missing;
  EXPECT_FALSE(missing.DecodeFile(dir.File("none.png").c_str()));
  EXPECT_FALSE(missing);
}

TEST(DecodeTest, BitmapFileNamesItsFormat) {
  // A 2 x 2, 24-bit bottom-up BMP file, rows padded to 8 bytes.
  std::string bmp = std::string("BM") + std::string(12, '\0');
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof(header);
  header.biWidth = 2;
  header.biHeight = 2;
  header.biPlanes = 1;
  header.biBitCount = 24;
  bmp.append(reinterpret_cast<const char*>(&header), sizeof(header));
  const char rows[] = "\x03\x02\x01\x06\x05\x04\0\0\x09\x08\x07\x0c\x0b\x0a\0\0";
  bmp.append(rows, 16);
  const uint32_t file_size = static_cast<uint32_t>(bmp.size());
  const uint32_t offset = 14 + sizeof(header);
  memcpy(&bmp[2], &file_size, 4);
  memcpy(&bmp[10], &offset, 4);
  CDIB dib;
  ASSERT_TRUE(dib.Decode(bmp.data(), bmp.size()));
  EXPECT_EQ(dib.ImageFormat(), lib::wfc::kImageBMP);
  EXPECT_EQ(dib.GetPixel(0, 1), RGB(1, 2, 3));  // the first stored row is the bottom one
  EXPECT_EQ(dib.GetPixel(1, 0), RGB(0x0a, 0x0b, 0x0c));
}

TEST(DecodeTest, BrokenDataIsRejectedAndLeavesTheBitmap) {
  const std::string png = ovtest::EncodePngRgb(4, 4, Gradient(4, 4));
  std::vector<std::pair<std::string, std::string>> broken = {
      {"empty", ""},
      {"signature only", png.substr(0, 8)},
      {"header cut", png.substr(0, 20)},
      {"no data chunk", png.substr(0, 33)},
      {"not a picture", std::string(200, 'x')},
  };
  for (const auto& [name, bytes] : broken) {
    CDIB dib;
    dib.Create(2, 2);
    dib.Fill(RGB(9, 8, 7));
    EXPECT_FALSE(dib.Decode(bytes.data(), bytes.size())) << name;
    EXPECT_EQ(dib.Width(), 2) << name;
    EXPECT_EQ(dib.GetPixel(1, 1), RGB(9, 8, 7)) << name;
  }
  // Cut or flipped anywhere, decoding either fails or gives a whole picture
  // of the right size; it never crashes.
  for (size_t cut = 8; cut < png.size(); cut += 7) {
    CDIB dib;
    if (dib.Decode(png.data(), cut)) {
      EXPECT_EQ(dib.Width(), 4) << cut;
    }
  }
  for (size_t at = 8; at < png.size(); at += 5) {
    std::string flipped = png;
    flipped[at] = static_cast<char>(flipped[at] ^ 0x5A);
    CDIB dib;
    if (dib.Decode(flipped.data(), flipped.size())) {
      EXPECT_GT(dib.Width(), 0) << at;
    }
  }
}

TEST(DecodeTest, ResourcesThatAreNoPictures) {
  size_t size = 0;
  // Every test program carries a version block.
  const void* version = lib::wfc::LoadRawResource(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16), &size);
  ASSERT_NE(version, nullptr);
  EXPECT_GT(size, 0u);
  EXPECT_EQ(lib::wfc::LoadRawResource("NOSUCH.PNG", "SKIN", &size), nullptr);
  EXPECT_EQ(size, 0u);

  CDIB dib;
  EXPECT_FALSE(dib.DecodeResource(nullptr, "NOSUCH.PNG", "SKIN"));
  EXPECT_FALSE(dib.DecodeResource(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16)));
}

TEST(DecodeTest, SeveralThreadsDecodeAtOnce) {
  const std::vector<uint32_t> pixels = Gradient(40, 30);
  const std::string png = ovtest::EncodePngRgb(40, 30, pixels);
  std::vector<int> decoded(6, 0);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < decoded.size(); ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 10; ++round) {
        CDIB dib;
        if (dib.Decode(png.data(), png.size()) && dib.GetPixel(39, 29) == FromRgb(pixels.back())) {
          ++decoded[t];
        }
      }
    });
  }
  for (std::thread& t : threads) t.join();
  for (size_t t = 0; t < decoded.size(); ++t) EXPECT_EQ(decoded[t], 10) << t;
}

TEST(PngPaletteTest, ReadsPaletteAndTransparency) {
  const std::string png =
      ovtest::EncodePngPalette(2, 1, {0, 2}, {0x010203, 0x040506, 0x070809}, {0, 128});
  lib::wfc::PngPalette palette;
  ASSERT_TRUE(lib::wfc::ReadPngPalette(png.data(), png.size(), &palette));
  EXPECT_EQ(palette.colours, (std::vector<uint32_t>{0x010203, 0x040506, 0x070809}));
  EXPECT_EQ(palette.alpha, (std::vector<uint8_t>{0, 128, 255}));
  EXPECT_TRUE(palette.HasTransparentEntry());
  // Every truncation is refused without reading past the end.
  for (size_t cut = 0; cut < png.size(); ++cut) {
    const std::string part = png.substr(0, cut);
    lib::wfc::PngPalette p;
    const bool read = lib::wfc::ReadPngPalette(part.data(), part.size(), &p);
    // Once the first data chunk's header is there, the palette is known.
    const bool complete = cut >= png.find("IDAT") + 4;
    EXPECT_EQ(read, complete) << cut;
  }
  const std::string rgb = ovtest::EncodePngRgb(1, 1, {0});
  EXPECT_FALSE(lib::wfc::ReadPngPalette(rgb.data(), rgb.size(), &palette));
}

TEST(PngPaletteTest, KeyIsTheSmallestColourNoVisibleEntryHas) {
  struct Row {
    std::vector<uint32_t> colours;
    std::vector<uint8_t> alpha;
    uint32_t key;
  };
  for (const Row& r :
       {Row{{0x000000}, {0}, 0}, Row{{0x000000, 0x000000}, {0, 255}, 1},
        Row{{0x000002, 0x000000, 0x000001}, {255, 255, 255}, 3},
        Row{{0x000001, 0x000000, 0x000005}, {128, 255, 0}, 2}, Row{{0xFFFFFF, 0x000000}, {0}, 1}}) {
    EXPECT_EQ(lib::wfc::ChooseKeyColour(r.colours, r.alpha), r.key);
  }
}

}  // namespace
