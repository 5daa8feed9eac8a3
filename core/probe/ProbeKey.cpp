// The probe files' key and chunked chaining; see ProbeKey.h.
#include "ProbeKey.h"

#include "OstrovelleLite/DesCipher.h"
#include "OvWindows.h"

namespace {

// Two sets of four words; the key is derived from them at run time so that
// it never stands in the program as one piece.
constexpr uint32_t kSetA[4] = {0x8E52D03Bu, 0x17C4A96Fu, 0x6B0F3E92u, 0xD5A1744Cu};
constexpr uint32_t kSetB[4] = {0x39E6B105u, 0xA27D58C3u, 0xF40C9A6Eu, 0x5D83E217u};

void ToBytes(const uint32_t words[4], uint8_t bytes[16]) {
  for (int i = 0; i < 4; ++i) {
    for (int b = 0; b < 4; ++b) bytes[i * 4 + b] = static_cast<uint8_t>(words[i] >> (8 * b));
  }
}

void ChainChunks(uint8_t* data, size_t size, const uint8_t iv[8], int mode) {
  uint8_t key[8];
  BuildProbeFileKey(key);
  for (size_t offset = 0; offset < size; offset += kProbeCipherChunk) {
    const size_t left = size - offset;
    const size_t chunk = left < kProbeCipherChunk ? left : kProbeCipherChunk;
    DesCbc(data + offset, key, iv, chunk / 8, mode);
  }
  SecureZeroMemory(key, sizeof(key));
}

}  // namespace

void BuildProbeFileKey(uint8_t key[8]) {
  uint8_t a[16];
  uint8_t b[16];
  ToBytes(kSetA, a);
  ToBytes(kSetB, b);
  // Encipher with A's first half, decipher with its second, encipher with
  // B's first half, over B's second half, XORed with it.
  TripleDesBlock(a, a + 8, b, b + 8, key);
  SecureZeroMemory(a, sizeof(a));
  SecureZeroMemory(b, sizeof(b));
}

void DecipherProbeData(uint8_t* data, size_t size, const uint8_t iv[8]) {
  ChainChunks(data, size, iv, kDesDecrypt);
}

void EncipherProbeData(uint8_t* data, size_t size, const uint8_t iv[8]) {
  ChainChunks(data, size, iv, kDesEncrypt);
}
