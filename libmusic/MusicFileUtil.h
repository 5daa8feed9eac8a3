// The free functions of the music-file library: which files are music, one
// file's information, a drive's free space, the card's music folder and a
// file's place on the card. Stateless apart from the free-space test hook;
// safe on any thread.
#pragma once

#include "MusicFileInfo.h"

#include <cstdint>
#include <memory>
#include <string>

namespace libmusic {

// Files of 2 GiB and more are never music to us.
constexpr std::uint64_t kMaxMusicFileSize = 0x80000000ull;

// The type by the path's extension, case-insensitive: ".mp3", ".wma",
// ".m4a"; anything else (and a null path) is kMusicTypeNone.
int GetMusicFileType(const wchar_t* path);
inline int GetMusicFileType(const std::wstring& path) { return GetMusicFileType(path.c_str()); }

// The file's record, read by the reader of its type and judged by its codec
// check (the playable flag), with the file's own name, time, size and type;
// null for a missing, oversized or unreadable file or one that is not music.
std::unique_ptr<CMusicFileInfo> GetMusicFileInfo(const wchar_t* path);
// The same for a file already found by an enumeration (no second lookup).
std::unique_ptr<CMusicFileInfo> GetMusicFileInfo(const std::wstring& path,
                                                 const WIN32_FIND_DATAW& found);

// Bytes free to the caller on the root of the path's drive; 0 on failure.
std::uint64_t GetDriveFreeSpace(const wchar_t* path);

// "E:\AV\MUSIC" for 'E'.
std::string GetMusicFolderPath(char drive_letter);
std::wstring GetMusicFolderPathW(wchar_t drive_letter);

// Where a PC file goes on the card: target + "\" (when given), then the
// source's parent folder's own name, "\" and its file name (Rock\Live\a.mp3
// gives Live\a.mp3); a source without a folder is taken as it is.
std::wstring MakeTransferPath(const std::wstring& source, const wchar_t* target);

// The last component of a path (after the last backslash).
std::wstring MusicPathFileName(const std::wstring& path);
// The path up to its last backslash; empty when it has none.
std::wstring MusicPathParent(const std::wstring& path);

namespace freespacetest {
// Answers every free-space query of the process instead of the platform
// (nullptr puts the platform back), so that a test can reach a full card.
using FreeSpaceQuery = bool (*)(const wchar_t* root, std::uint64_t* free_bytes);
void SetFreeSpaceQuery(FreeSpaceQuery query);
}  // namespace freespacetest

}  // namespace libmusic
