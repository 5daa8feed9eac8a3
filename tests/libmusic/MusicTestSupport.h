// Helpers of the libmusic tests: the music files made at build time, files
// written into a per-test folder, and the log of the test process.
#pragma once

#include "TestSupport.h"

#include <cstdint>
#include <string>

namespace musictest {

// A playable MP3 (44100 Hz stereo, 128 kbit/s) of frames frames, with an
// ID3v2.3 album (UTF-16, none when empty) and track number (none when < 0).
std::string MakeMp3(const std::wstring& album = std::wstring(), int track = -1, int frames = 4);

// Creates the folder and every missing folder above it.
bool CreateFoldersW(const std::wstring& path);
// Writes bytes to a wide path, creating the missing folders above it.
bool WriteFileW(const std::wstring& path, const std::string& bytes);
// Sets the file's last-write time (a 64-bit FILETIME).
bool SetWriteTime(const std::wstring& path, std::uint64_t time);
bool FileExistsW(const std::wstring& path);

// Bytes of a file made by make_media.sh ("cbr128.mp3").
std::string GeneratedMedia(const std::string& name);

// Writes bytes under the folder; answers the file's wide path.
std::wstring WriteMedia(const ovtest::CTempDir& dir, const std::string& name,
                        const std::string& bytes);

// The same with a wide file name (names outside code page 932).
std::wstring WriteMediaW(const ovtest::CTempDir& dir, const std::wstring& name,
                         const std::string& bytes);

using ovtest::CLogCapture;

}  // namespace musictest
