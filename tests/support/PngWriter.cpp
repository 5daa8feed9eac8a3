// The tests' PNG encoder, on zlib.
#include "PngWriter.h"

#include <zlib.h>

#include <cstdio>

namespace ovtest {

namespace {

void PutBigEndian(std::string* out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<char>(value >> shift));
}

void PutChunk(std::string* out, const char* type, const std::string& data) {
  PutBigEndian(out, static_cast<uint32_t>(data.size()));
  const std::string body = std::string(type, 4) + data;
  out->append(body);
  uLong crc = crc32(0L, Z_NULL, 0);
  crc = crc32(crc, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
  PutBigEndian(out, static_cast<uint32_t>(crc));
}

std::string Deflate(const std::string& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(size, '\0');
  compress2(reinterpret_cast<Bytef*>(&packed[0]), &size, reinterpret_cast<const Bytef*>(raw.data()),
            static_cast<uLong>(raw.size()), 6);
  packed.resize(size);
  return packed;
}

// rows: the filtered scan lines (each with its filter byte).
std::string Assemble(int width, int height, int bit_depth, int colour_type,
                     const std::string& palette_chunk, const std::string& trns_chunk,
                     const std::string& rows) {
  std::string out("\x89PNG\r\n\x1a\n", 8);
  std::string header;
  PutBigEndian(&header, static_cast<uint32_t>(width));
  PutBigEndian(&header, static_cast<uint32_t>(height));
  header.push_back(static_cast<char>(bit_depth));
  header.push_back(static_cast<char>(colour_type));
  header.append(3, '\0');  // deflate, adaptive filtering, no interlace
  PutChunk(&out, "IHDR", header);
  if (!palette_chunk.empty()) PutChunk(&out, "PLTE", palette_chunk);
  if (!trns_chunk.empty()) PutChunk(&out, "tRNS", trns_chunk);
  PutChunk(&out, "IDAT", Deflate(rows));
  PutChunk(&out, "IEND", std::string());
  return out;
}

}  // namespace

std::string EncodePngRgb(int width, int height, const std::vector<uint32_t>& pixels) {
  std::string rows;
  for (int y = 0; y < height; ++y) {
    rows.push_back('\0');
    for (int x = 0; x < width; ++x) {
      const uint32_t p = pixels[static_cast<size_t>(y) * width + x];
      rows.push_back(static_cast<char>(p >> 16));
      rows.push_back(static_cast<char>(p >> 8));
      rows.push_back(static_cast<char>(p));
    }
  }
  return Assemble(width, height, 8, 2, std::string(), std::string(), rows);
}

std::string EncodePngRgba(int width, int height, const std::vector<uint32_t>& pixels) {
  std::string rows;
  for (int y = 0; y < height; ++y) {
    rows.push_back('\0');
    for (int x = 0; x < width; ++x) {
      const uint32_t p = pixels[static_cast<size_t>(y) * width + x];
      rows.push_back(static_cast<char>(p >> 16));
      rows.push_back(static_cast<char>(p >> 8));
      rows.push_back(static_cast<char>(p));
      rows.push_back(static_cast<char>(p >> 24));
    }
  }
  return Assemble(width, height, 8, 6, std::string(), std::string(), rows);
}

std::string EncodePngPalette(int width, int height, const std::vector<uint8_t>& indices,
                             const std::vector<uint32_t>& palette,
                             const std::vector<uint8_t>& alpha, int bit_depth) {
  std::string plte;
  for (const uint32_t c : palette) {
    plte.push_back(static_cast<char>(c >> 16));
    plte.push_back(static_cast<char>(c >> 8));
    plte.push_back(static_cast<char>(c));
  }
  const std::string trns(alpha.begin(), alpha.end());
  std::string rows;
  const int per_byte = 8 / bit_depth;
  for (int y = 0; y < height; ++y) {
    rows.push_back('\0');
    uint8_t packed = 0;
    int filled = 0;
    for (int x = 0; x < width; ++x) {
      const uint8_t index = indices[static_cast<size_t>(y) * width + x];
      packed = static_cast<uint8_t>(packed | (index << (8 - bit_depth * (filled + 1))));
      if (++filled == per_byte) {
        rows.push_back(static_cast<char>(packed));
        packed = 0;
        filled = 0;
      }
    }
    if (filled) rows.push_back(static_cast<char>(packed));
  }
  return Assemble(width, height, bit_depth, 3, plte, trns, rows);
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace ovtest
