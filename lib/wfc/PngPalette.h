// What a PNG's own chunks say of its palette and transparency, read before
// GDI+ decodes it: some decoders hand a palette picture with a transparent
// entry back as ARGB, and the key colour must be chosen from the palette
// whichever way the pixels arrive. Pure functions; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "OvWindows.h"

namespace lib::wfc {

struct PngPalette {
  // Palette entries as 0xRRGGBB, and their alpha (255 where tRNS says
  // nothing).
  std::vector<uint32_t> colours;
  std::vector<uint8_t> alpha;

  bool HasTransparentEntry() const;
};

// Reads `size` bytes at `offset` of the picture; false when they are not all
// there.
using PngReader = std::function<bool(uint64_t offset, void* buffer, size_t size)>;

// True, with the palette, for a well-formed palette PNG (colour type 3) up to
// its first IDAT; false for anything else, truncated or malformed data
// included.
bool ReadPngPalette(const PngReader& read, PngPalette* palette);
bool ReadPngPalette(const void* data, size_t size, PngPalette* palette);

// The colour that marks transparent pixels: the smallest 0xRRGGBB value,
// counted from 0, that no entry with alpha other than 0 has; so opaque and
// half-transparent pixels never turn into holes. Entries are given as
// 0xRRGGBB.
uint32_t ChooseKeyColour(const std::vector<uint32_t>& colours, const std::vector<uint8_t>& alpha);

}  // namespace lib::wfc
