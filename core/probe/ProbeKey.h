// The key of the unit's probe files and the chunked CBC deciphering that
// both probe readers apply to them. Pure functions over caller-owned
// buffers: safe on any thread.
#pragma once

#include <cstddef>
#include <cstdint>

// The unit enciphers its probe data in chunks of this many bytes, each a
// chain of its own that starts again from the file's initial vector.
constexpr size_t kProbeCipherChunk = 307200;

// Builds the probe files' 8-byte DES key. The key must never reach a file
// or a log; callers wipe it after use.
void BuildProbeFileKey(uint8_t key[8]);

// Deciphers `size` bytes in place, chunk by chunk, each chunk's whole
// 8-byte blocks under the probe-file key; a remainder under 8 bytes at the
// end is left as stored.
void DecipherProbeData(uint8_t* data, size_t size, const uint8_t iv[8]);

// The unit's side of the same scheme (test fixtures and tools build probe
// files with it).
void EncipherProbeData(uint8_t* data, size_t size, const uint8_t iv[8]);
