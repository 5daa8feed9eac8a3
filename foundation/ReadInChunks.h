// Reading a file of a known size piece by piece into a consumer (an archive
// stream). The size taken when the file was opened is a promise the file may
// break: another program can shorten a file it shares for writing, so the
// reading also ends where the file ends. Safe on any thread.
#pragma once

#include "OvWindows.h"

#include <cstdint>

enum class ChunkReadResult {
  kDone,        // size bytes, or all the file still held, went to the sink
  kReadFailed,  // a read failed; the thread's last error is the platform's
  kSinkFailed,  // the sink answered false
};

// Reads from the file's current position until size bytes were read or the
// file ends, in pieces of at most capacity bytes, and hands each piece to
// sink(const char* data, DWORD length) -> bool. *done receives the bytes
// handed over.
template <typename Sink>
ChunkReadResult ReadInChunks(HANDLE file, uint64_t size, char* buffer, DWORD capacity, Sink sink,
                             uint64_t* done) {
  *done = 0;
  while (*done < size) {
    const uint64_t left = size - *done;
    const DWORD want = left < capacity ? static_cast<DWORD>(left) : capacity;
    DWORD read = 0;
    if (!ReadFile(file, buffer, want, &read, nullptr)) return ChunkReadResult::kReadFailed;
    if (read == 0) break;  // the file shrank while it was read
    if (!sink(static_cast<const char*>(buffer), read)) return ChunkReadResult::kSinkFailed;
    *done += read;
  }
  return ChunkReadResult::kDone;
}
