// Helpers of the libmusic tests: the music files made at build time, files
// written into a per-test folder, and the log of the test process.
#pragma once

#include "TestSupport.h"

#include <string>

namespace musictest {

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
