// Writes one whole file of an information charge on the SD card: the bytes
// go to a temporary file beside it, which then takes the file's place, so a
// failed or interrupted write leaves the old file on the card as it was.
// Every step goes through the retrying file operations of the charge.
//
// Threads: the charge's worker; the holder's abort event only shortens the
// retry pauses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "WinFileSystemLib.h"

constexpr uint32_t kCardFileOpenFailed = 0x30000A;   // not created
constexpr uint32_t kCardFileWriteFailed = 0x30000C;  // not fully written or not put in place

// 0, kCardFileOpenFailed or kCardFileWriteFailed with *error set to the
// platform error. Missing folders of the path are created first. A failure
// is logged as "<name>書込み時のファイルオープン失敗[ERR:..].<path>" or
// "<name>書込み失敗[ERR:..", `name` naming the file for the user.
uint32_t WriteCardFile(CWinFileSystemLib& files, const std::string& path, const void* data,
                       size_t size, const char* name, DWORD* error);
