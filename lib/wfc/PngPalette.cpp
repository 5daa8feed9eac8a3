// The palette and transparency chunks of a PNG. Chunk lengths come from the
// file and are never trusted beyond the bytes that are there.
#include "PngPalette.h"

#include <algorithm>
#include <cstring>

namespace lib::wfc {

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint8_t kIndexedColour = 3;
// The PNG limit on a chunk's length.
constexpr uint32_t kMaxChunk = 0x7FFFFFFF;

uint32_t BigEndian(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

bool Is(const uint8_t* type, const char* name) { return std::memcmp(type, name, 4) == 0; }

}  // namespace

bool PngPalette::HasTransparentEntry() const {
  return std::find(alpha.begin(), alpha.end(), 0) != alpha.end();
}

bool ReadPngPalette(const PngReader& read, PngPalette* palette) {
  *palette = PngPalette();
  uint8_t head[8 + 8 + 13];
  if (!read(0, head, sizeof(head)) || std::memcmp(head, kSignature, 8) != 0) return false;
  if (BigEndian(head + 8) != 13 || !Is(head + 12, "IHDR") || head[16 + 9] != kIndexedColour) {
    return false;
  }
  std::vector<uint8_t> trns;
  bool have_palette = false;
  // After IHDR's data and CRC.
  uint64_t offset = 8 + 8 + 13 + 4;
  for (;;) {
    uint8_t chunk[8];
    if (!read(offset, chunk, sizeof(chunk))) return false;
    const uint32_t length = BigEndian(chunk);
    if (length > kMaxChunk) return false;
    const uint8_t* type = chunk + 4;
    if (Is(type, "IDAT") || Is(type, "IEND")) break;
    if (Is(type, "PLTE")) {
      if (have_palette || length == 0 || length % 3 != 0 || length / 3 > 256) return false;
      uint8_t entries[256 * 3];
      if (!read(offset + 8, entries, length)) return false;
      for (uint32_t i = 0; i < length / 3; ++i) {
        const uint8_t* e = entries + 3 * i;
        palette->colours.push_back((static_cast<uint32_t>(e[0]) << 16) |
                                   (static_cast<uint32_t>(e[1]) << 8) | e[2]);
      }
      have_palette = true;
    } else if (Is(type, "tRNS")) {
      if (length > 256) return false;
      trns.resize(length);
      if (length > 0 && !read(offset + 8, trns.data(), length)) return false;
    }
    offset += 8 + static_cast<uint64_t>(length) + 4;
  }
  if (!have_palette || trns.size() > palette->colours.size()) return false;
  palette->alpha.assign(palette->colours.size(), 255);
  std::copy(trns.begin(), trns.end(), palette->alpha.begin());
  return true;
}

bool ReadPngPalette(const void* data, size_t size, PngPalette* palette) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  return ReadPngPalette(
      [bytes, size](uint64_t offset, void* buffer, size_t count) {
        if (offset > size || count > size - offset) return false;
        std::memcpy(buffer, bytes + offset, count);
        return true;
      },
      palette);
}

uint32_t ChooseKeyColour(const std::vector<uint32_t>& colours, const std::vector<uint8_t>& alpha) {
  std::vector<uint32_t> taken;
  for (size_t i = 0; i < colours.size(); ++i) {
    if (i >= alpha.size() || alpha[i] != 0) taken.push_back(colours[i] & 0xFFFFFF);
  }
  std::sort(taken.begin(), taken.end());
  // At most 256 entries are taken, so a free value lies within 0..256.
  uint32_t candidate = 0;
  for (const uint32_t value : taken) {
    if (value == candidate) ++candidate;
    if (value > candidate) break;
  }
  return candidate;
}

}  // namespace lib::wfc
