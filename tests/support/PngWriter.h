// PNG files made by the tests themselves, so decoder tests know every pixel
// they expect: true colour with or without alpha, and palette pictures with
// an optional transparency chunk. Filter 0 on every row, one IDAT chunk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ovtest {

// Pixels row by row from the top, as 0xRRGGBB.
std::string EncodePngRgb(int width, int height, const std::vector<uint32_t>& pixels);
// Pixels as 0xAARRGGBB.
std::string EncodePngRgba(int width, int height, const std::vector<uint32_t>& pixels);
// Indices into `palette` (0xRRGGBB entries); `alpha` becomes the tRNS chunk
// when not empty. Bit depth 8, or 1, 2 or 4 for packed rows.
std::string EncodePngPalette(int width, int height, const std::vector<uint8_t>& indices,
                             const std::vector<uint32_t>& palette,
                             const std::vector<uint8_t>& alpha, int bit_depth = 8);

// Writes bytes to a file; false when it cannot.
bool WriteBytes(const std::string& path, const std::string& bytes);

}  // namespace ovtest
