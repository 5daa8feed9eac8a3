// DES and its chaining; see DesCipher.h. The bit permutations are written as
// the standard's position lists (bit 1 = most significant) and turned into
// lookup tables at compile time, so no table is typed out by hand twice.
#include "OstrovelleLite/DesCipher.h"

#include "OstrovelleLite/RecordFields.h"

#include <array>
#include <cstring>

namespace {

// clang-format off
constexpr uint8_t kInitialPermutation[64] = {
    58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
    62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
    57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
    61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};

constexpr uint8_t kPermutedChoice1[56] = {
    57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18, 10, 2,  59, 51, 43,
    35, 27, 19, 11, 3,  60, 52, 44, 36, 63, 55, 47, 39, 31, 23, 15, 7,  62, 54,
    46, 38, 30, 22, 14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};

constexpr uint8_t kPermutedChoice2[48] = {
    14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
    26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
    51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};

constexpr uint8_t kRotations[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

constexpr uint8_t kRoundPermutation[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23,
                                           26, 5, 18, 31, 10, 2,  8,  24, 14, 32, 27,
                                           3,  9, 19, 13, 30, 6,  22, 11, 4,  25};

constexpr uint8_t kSBoxes[8][4][16] = {
    {{14, 4, 13, 1, 2, 15, 11, 8, 3, 10, 6, 12, 5, 9, 0, 7},
     {0, 15, 7, 4, 14, 2, 13, 1, 10, 6, 12, 11, 9, 5, 3, 8},
     {4, 1, 14, 8, 13, 6, 2, 11, 15, 12, 9, 7, 3, 10, 5, 0},
     {15, 12, 8, 2, 4, 9, 1, 7, 5, 11, 3, 14, 10, 0, 6, 13}},
    {{15, 1, 8, 14, 6, 11, 3, 4, 9, 7, 2, 13, 12, 0, 5, 10},
     {3, 13, 4, 7, 15, 2, 8, 14, 12, 0, 1, 10, 6, 9, 11, 5},
     {0, 14, 7, 11, 10, 4, 13, 1, 5, 8, 12, 6, 9, 3, 2, 15},
     {13, 8, 10, 1, 3, 15, 4, 2, 11, 6, 7, 12, 0, 5, 14, 9}},
    {{10, 0, 9, 14, 6, 3, 15, 5, 1, 13, 12, 7, 11, 4, 2, 8},
     {13, 7, 0, 9, 3, 4, 6, 10, 2, 8, 5, 14, 12, 11, 15, 1},
     {13, 6, 4, 9, 8, 15, 3, 0, 11, 1, 2, 12, 5, 10, 14, 7},
     {1, 10, 13, 0, 6, 9, 8, 7, 4, 15, 14, 3, 11, 5, 2, 12}},
    {{7, 13, 14, 3, 0, 6, 9, 10, 1, 2, 8, 5, 11, 12, 4, 15},
     {13, 8, 11, 5, 6, 15, 0, 3, 4, 7, 2, 12, 1, 10, 14, 9},
     {10, 6, 9, 0, 12, 11, 7, 13, 15, 1, 3, 14, 5, 2, 8, 4},
     {3, 15, 0, 6, 10, 1, 13, 8, 9, 4, 5, 11, 12, 7, 2, 14}},
    {{2, 12, 4, 1, 7, 10, 11, 6, 8, 5, 3, 15, 13, 0, 14, 9},
     {14, 11, 2, 12, 4, 7, 13, 1, 5, 0, 15, 10, 3, 9, 8, 6},
     {4, 2, 1, 11, 10, 13, 7, 8, 15, 9, 12, 5, 6, 3, 0, 14},
     {11, 8, 12, 7, 1, 14, 2, 13, 6, 15, 0, 9, 10, 4, 5, 3}},
    {{12, 1, 10, 15, 9, 2, 6, 8, 0, 13, 3, 4, 14, 7, 5, 11},
     {10, 15, 4, 2, 7, 12, 9, 5, 6, 1, 13, 14, 0, 11, 3, 8},
     {9, 14, 15, 5, 2, 8, 12, 3, 7, 0, 4, 10, 1, 13, 11, 6},
     {4, 3, 2, 12, 9, 5, 15, 10, 11, 14, 1, 7, 6, 0, 8, 13}},
    {{4, 11, 2, 14, 15, 0, 8, 13, 3, 12, 9, 7, 5, 10, 6, 1},
     {13, 0, 11, 7, 4, 9, 1, 10, 14, 3, 5, 12, 2, 15, 8, 6},
     {1, 4, 11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5, 9, 2},
     {6, 11, 13, 8, 1, 4, 10, 7, 9, 5, 0, 15, 14, 2, 3, 12}},
    {{13, 2, 8, 4, 6, 15, 11, 1, 10, 9, 3, 14, 5, 0, 12, 7},
     {1, 15, 13, 8, 10, 3, 7, 4, 12, 5, 6, 11, 0, 14, 9, 2},
     {7, 11, 4, 1, 9, 12, 14, 2, 0, 6, 10, 13, 15, 3, 5, 8},
     {2, 1, 14, 7, 4, 10, 8, 13, 15, 12, 9, 0, 3, 5, 6, 11}}};
// clang-format on

constexpr bool SBoxRowsArePermutations() {
  for (const auto& box : kSBoxes) {
    for (const auto& row : box) {
      unsigned seen = 0;
      for (uint8_t v : row) seen |= 1u << v;
      if (seen != 0xFFFFu) return false;
    }
  }
  return true;
}
static_assert(SBoxRowsArePermutations(), "an S-box row is mistyped");

// A 64-bit permutation as eight byte-indexed tables: the output is the OR of
// the entries picked by each input byte.
using ByteTables = std::array<std::array<uint64_t, 256>, 8>;

constexpr ByteTables MakeByteTables(const uint8_t (&source)[64]) {
  ByteTables t{};
  for (int out = 0; out < 64; ++out) {
    const int in = source[out] - 1;  // 0 = most significant
    const int byte = in / 8;
    const int bit = 7 - in % 8;
    for (int v = 0; v < 256; ++v) {
      if (v & (1 << bit)) t[byte][v] |= uint64_t{1} << (63 - out);
    }
  }
  return t;
}

constexpr std::array<uint8_t, 64> Inverse(const uint8_t (&p)[64]) {
  std::array<uint8_t, 64> inv{};
  for (int i = 0; i < 64; ++i) inv[p[i] - 1] = static_cast<uint8_t>(i + 1);
  return inv;
}

constexpr auto kFinalPermutationList = Inverse(kInitialPermutation);

constexpr ByteTables MakeFinalTables() {
  uint8_t list[64] = {};
  for (int i = 0; i < 64; ++i) list[i] = kFinalPermutationList[i];
  return MakeByteTables(list);
}

constexpr ByteTables kIpTables = MakeByteTables(kInitialPermutation);
constexpr ByteTables kFpTables = MakeFinalTables();

// The eight S-boxes each followed by the round permutation, indexed by the
// 6-bit input of the box.
using SpTables = std::array<std::array<uint32_t, 64>, 8>;

constexpr SpTables MakeSpTables() {
  SpTables sp{};
  for (int box = 0; box < 8; ++box) {
    for (int v = 0; v < 64; ++v) {
      const int row = ((v >> 4) & 2) | (v & 1);
      const int col = (v >> 1) & 0xF;
      const uint32_t s = static_cast<uint32_t>(kSBoxes[box][row][col]) << (28 - 4 * box);
      uint32_t p = 0;
      for (int out = 0; out < 32; ++out) {
        if (s & (uint32_t{1} << (32 - kRoundPermutation[out]))) p |= uint32_t{1} << (31 - out);
      }
      sp[box][v] = p;
    }
  }
  return sp;
}

constexpr SpTables kSpTables = MakeSpTables();

uint64_t Permute(uint64_t x, const ByteTables& tables) {
  uint64_t r = 0;
  for (int i = 0; i < 8; ++i) r |= tables[i][(x >> (56 - 8 * i)) & 0xFF];
  return r;
}

// The unit's byte order: each half is a little-endian word.
uint64_t LoadUnit(const uint8_t* p) { return uint64_t{LoadLe32(p)} << 32 | LoadLe32(p + 4); }

void StoreUnit(uint64_t v, uint8_t* p) {
  StoreLe32(p, static_cast<uint32_t>(v >> 32));
  StoreLe32(p + 4, static_cast<uint32_t>(v));
}

uint32_t RotateLeft(uint32_t v, int n) {
  n &= 31;
  return n == 0 ? v : (v << n) | (v >> (32 - n));
}

uint32_t RoundFunction(uint32_t r, const uint8_t (&key)[8]) {
  uint32_t f = 0;
  for (int box = 0; box < 8; ++box) {
    // The expansion gives box i the bits 4i..4i+5 (bit 0 being bit 32).
    const uint32_t chunk = (RotateLeft(r, 4 * box - 1) >> 26) & 0x3F;
    f |= kSpTables[box][chunk ^ key[box]];
  }
  return f;
}

uint32_t Rotate28(uint32_t v, int n) { return ((v << n) | (v >> (28 - n))) & 0x0FFFFFFF; }

}  // namespace

void DesKeySchedule(const uint8_t key[8], int mode, DesSchedule* schedule) {
  const uint64_t k = LoadUnit(key);
  uint64_t cd = 0;
  for (int i = 0; i < 56; ++i) {
    cd = (cd << 1) | ((k >> (64 - kPermutedChoice1[i])) & 1);
  }
  uint32_t c = static_cast<uint32_t>(cd >> 28) & 0x0FFFFFFF;
  uint32_t d = static_cast<uint32_t>(cd) & 0x0FFFFFFF;
  for (int round = 0; round < 16; ++round) {
    c = Rotate28(c, kRotations[round]);
    d = Rotate28(d, kRotations[round]);
    const uint64_t joined = uint64_t{c} << 28 | d;
    const int slot = mode == kDesDecrypt ? 15 - round : round;
    for (int box = 0; box < 8; ++box) {
      uint8_t value = 0;
      for (int j = 0; j < 6; ++j) {
        value = static_cast<uint8_t>((value << 1) |
                                     ((joined >> (56 - kPermutedChoice2[box * 6 + j])) & 1));
      }
      schedule->round[slot][box] = value;
    }
  }
}

void DesCipherBlock(uint8_t block[8], const DesSchedule& schedule) {
  const uint64_t x = Permute(LoadUnit(block), kIpTables);
  uint32_t left = static_cast<uint32_t>(x >> 32);
  uint32_t right = static_cast<uint32_t>(x);
  for (const auto& key : schedule.round) {
    const uint32_t next = left ^ RoundFunction(right, key);
    left = right;
    right = next;
  }
  StoreUnit(Permute(uint64_t{right} << 32 | left, kFpTables), block);
}

void DesCbc(uint8_t* data, const uint8_t key[8], const uint8_t iv[8], size_t blocks, int mode) {
  DesSchedule schedule;
  DesKeySchedule(key, mode, &schedule);
  uint8_t chain[8];
  memcpy(chain, iv, sizeof(chain));
  for (size_t b = 0; b < blocks; ++b) {
    uint8_t* block = data + b * 8;
    if (mode == kDesDecrypt) {
      uint8_t cipher[8];
      memcpy(cipher, block, sizeof(cipher));
      DesCipherBlock(block, schedule);
      for (int i = 0; i < 8; ++i) block[i] ^= chain[i];
      memcpy(chain, cipher, sizeof(chain));
    } else {
      for (int i = 0; i < 8; ++i) block[i] ^= chain[i];
      DesCipherBlock(block, schedule);
      memcpy(chain, block, sizeof(chain));
    }
  }
}

void TripleDesBlock(const uint8_t k1[8], const uint8_t k2[8], const uint8_t k3[8],
                    const uint8_t block[8], uint8_t out[8]) {
  DesSchedule schedule;
  uint8_t work[8];
  memcpy(work, block, sizeof(work));
  DesKeySchedule(k1, kDesEncrypt, &schedule);
  DesCipherBlock(work, schedule);
  DesKeySchedule(k2, kDesDecrypt, &schedule);
  DesCipherBlock(work, schedule);
  DesKeySchedule(k3, kDesEncrypt, &schedule);
  DesCipherBlock(work, schedule);
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(work[i] ^ block[i]);
  memset(work, 0, sizeof(work));
}

void BuildCipherKey(uint8_t buffer[16]) {
  // Three keys and one block; the key is derived from them here so that it
  // does not stand in the program as one piece.
  static const uint8_t kSeed[32] = {0x4F, 0x76, 0x72, 0xA3, 0x1D, 0xE8, 0x5B, 0x92,
                                    0xC6, 0x07, 0x3E, 0xD4, 0x81, 0x6A, 0xF5, 0x2C,
                                    0x9B, 0x58, 0xE1, 0x14, 0x7D, 0xA0, 0x36, 0xCF,
                                    0x25, 0xBE, 0x69, 0xF0, 0x43, 0x8C, 0x17, 0xDA};
  TripleDesBlock(kSeed, kSeed + 8, kSeed + 16, kSeed + 24, buffer);
}
