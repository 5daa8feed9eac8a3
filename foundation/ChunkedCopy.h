// A file copy of our own, made in chunks, with the contract of the
// platform's extended copy: the progress routine is called before the first
// chunk and after each one, and the cancel flag (set by another thread) or a
// progress answer of cancel or stop ends the copy with 1235. The platform's
// own extended copy cannot be relied on for either (Wine never calls the
// routine and ignores the flag). Safe on any thread.
#pragma once

#include "OvWindows.h"

// Copies source to target. flags: COPY_FILE_FAIL_IF_EXISTS is honoured, the
// others are ignored. The target gets the source's attributes and last-write
// time. On failure (last error set) no partial target is left behind.
BOOL CopyFileChunked(const wchar_t* source, const wchar_t* target, LPPROGRESS_ROUTINE progress,
                     void* data, BOOL* cancel, DWORD flags);

namespace copytest {
// The chunk size, for a test that wants many chunks from a small file
// (0 puts the default back).
void SetChunkSize(DWORD bytes);
}  // namespace copytest
