// The DES block cipher, its CBC chaining and the E-D-E triple block that
// builds the key of the card's link files. Every 8-byte unit (key, block) is
// handled as two little-endian 32-bit words that DES sees most significant
// byte first, which is the byte order the navigation unit writes.
// Pure functions over caller-owned buffers: safe on any thread.
#pragma once

#include <cstddef>
#include <cstdint>

enum DesMode {
  kDesEncrypt = 0,
  kDesDecrypt = 1,
};

// Sixteen round keys of eight 6-bit values each, in the order of use.
struct DesSchedule {
  uint8_t round[16][8];
};

void DesKeySchedule(const uint8_t key[8], int mode, DesSchedule* schedule);
void DesCipherBlock(uint8_t block[8], const DesSchedule& schedule);

// Chains `blocks` 8-byte blocks of `data` in place, starting afresh from the
// initial vector, which is left unchanged. No padding: whole blocks only.
void DesCbc(uint8_t* data, const uint8_t key[8], const uint8_t iv[8], size_t blocks, int mode);

// Encipher with k1, decipher with k2, encipher with k3, then XOR the input.
void TripleDesBlock(const uint8_t k1[8], const uint8_t k2[8], const uint8_t k3[8],
                    const uint8_t block[8], uint8_t out[8]);

// Puts the link files' key into the first 8 bytes of a zeroed 16-byte buffer.
// The key must never reach a file or a log.
void BuildCipherKey(uint8_t buffer[16]);
