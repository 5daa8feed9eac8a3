// libmusic test helpers; see MusicTestSupport.h.
#include "MusicTestSupport.h"

#include "Handle.h"
#include "Log.h"
#include "MediaBuilders.h"
#include "StringUtil.h"

namespace musictest {

std::string MakeMp3(const std::wstring& album, int track, int frames) {
  std::string tag_frames;
  if (!album.empty()) tag_frames += Id3Frame(3, "TALB", Id3Text(1, Utf16LE(album, true)));
  if (track >= 0) tag_frames += Id3Frame(3, "TRCK", Id3Text(0, std::to_string(track)));
  return Id3Tag(3, tag_frames) + MpegFrames(frames);
}

bool CreateFoldersW(const std::wstring& path) {
  for (size_t slash = path.find(L'\\', 3); slash != std::wstring::npos;
       slash = path.find(L'\\', slash + 1)) {
    CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
  }
  CreateDirectoryW(path.c_str(), nullptr);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WriteFileW(const std::wstring& path, const std::string& bytes) {
  const size_t slash = path.find_last_of(L'\\');
  if (slash != std::wstring::npos) CreateFoldersW(path.substr(0, slash));
  CFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

bool SetWriteTime(const std::wstring& path, std::uint64_t time) {
  CFileHandle file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr));
  if (!file) return false;
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(time);
  ft.dwHighDateTime = static_cast<DWORD>(time >> 32);
  return SetFileTime(file.Get(), nullptr, nullptr, &ft) != FALSE;
}

bool FileExistsW(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string GeneratedMedia(const std::string& name) {
  return ovtest::ReadFileOrEmpty(ovtest::ExecutableFolder() + "media\\" + name);
}

std::wstring WriteMedia(const ovtest::CTempDir& dir, const std::string& name,
                        const std::string& bytes) {
  ovtest::WriteFileBytes(dir.File(name), bytes);
  return ToWide(dir.File(name));
}

std::wstring WriteMediaW(const ovtest::CTempDir& dir, const std::wstring& name,
                         const std::string& bytes) {
  const std::wstring path = ToWide(dir.Path()) + name;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::wstring();
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return written == bytes.size() ? path : std::wstring();
}

}  // namespace musictest
