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

// As CopyFileChunked into temporary (replaced when it exists), written
// through to the device (each write is on it before the call returns), its
// attributes and last-write time set; then, while it is still open, it is
// renamed to final_name, replacing a file of that name. So final_name only
// ever names a whole copy, without the second open a move after the close
// costs. A failed copy leaves neither name touched (FALSE, last error set).
// When only the rename fails, the copy stays whole under temporary: TRUE,
// *renamed FALSE and the rename's error as the last error, for the caller to
// move it; otherwise *renamed is TRUE.
BOOL CopyFileChunkedAndRename(const wchar_t* source, const wchar_t* temporary,
                              const wchar_t* final_name, LPPROGRESS_ROUTINE progress, void* data,
                              BOOL* cancel, BOOL* renamed);

namespace copytest {
// The chunk size, for a test that wants many chunks from a small file
// (0 puts the default back).
void SetChunkSize(DWORD bytes);
}  // namespace copytest
