// The music-file library's free functions; see MusicFileUtil.h.
#include "MusicFileUtil.h"

#include "Handle.h"
#include "Log.h"
#include "MusicFileReaderAAC.h"
#include "MusicFileReaderMP3.h"
#include "MusicFileReaderWMA.h"
#include "StringUtil.h"

#include <atomic>
#include <cwctype>

namespace libmusic {

namespace {

std::atomic<freespacetest::FreeSpaceQuery> g_free_space_query{nullptr};

bool EqualsNoCase(const wchar_t* a, const wchar_t* b) {
  for (; *a && *b; ++a, ++b) {
    if (std::towlower(*a) != std::towlower(*b)) return false;
  }
  return *a == *b;
}

std::unique_ptr<CMusicFileReader> MakeReader(int type) {
  switch (type) {
    case kMusicTypeMP3:
      return std::make_unique<CMusicFileReaderMP3>();
    case kMusicTypeWMA:
      return std::make_unique<CMusicFileReaderWMA>();
    case kMusicTypeAAC:
      return std::make_unique<CMusicFileReaderAAC>();
    default:
      return nullptr;
  }
}

void LogInfoError(DWORD error) {
  OV_LOG(kLogError, "libmusic::GetMusicFileInfo - ERR[%08X]", static_cast<unsigned>(error));
}

}  // namespace

int GetMusicFileType(const wchar_t* path) {
  if (!path) return kMusicTypeNone;
  const wchar_t* dot = nullptr;
  for (const wchar_t* p = path; *p; ++p) {
    if (*p == L'.') dot = p;
    if (*p == L'\\' || *p == L'/') dot = nullptr;
  }
  if (!dot) return kMusicTypeNone;
  if (EqualsNoCase(dot, L".mp3")) return kMusicTypeMP3;
  if (EqualsNoCase(dot, L".wma")) return kMusicTypeWMA;
  if (EqualsNoCase(dot, L".m4a")) return kMusicTypeAAC;
  return kMusicTypeNone;
}

std::unique_ptr<CMusicFileInfo> GetMusicFileInfo(const wchar_t* path) {
  if (!path) {
    LogInfoError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  WIN32_FIND_DATAW found = {};
  CFindHandle find(FindFirstFileW(path, &found));
  if (!find) {
    LogInfoError(GetLastError());
    return nullptr;
  }
  return GetMusicFileInfo(path, found);
}

std::unique_ptr<CMusicFileInfo> GetMusicFileInfo(const std::wstring& path,
                                                 const WIN32_FIND_DATAW& found) {
  const std::uint64_t size =
      (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
  if (size >= kMaxMusicFileSize) return nullptr;
  const int type = GetMusicFileType(path.c_str());
  std::unique_ptr<CMusicFileReader> reader = MakeReader(type);
  if (!reader) return nullptr;
  std::unique_ptr<CMusicFileInfo> info = reader->GetInfo(path);
  if (!info) return nullptr;
  info->file_name = found.cFileName;
  info->last_write_time = found.ftLastWriteTime;
  info->size = size;
  info->type = type;
  info->playable = reader->CheckCodec(*info) ? 1 : 0;
  return info;
}

std::uint64_t GetDriveFreeSpace(const wchar_t* path) {
  if (!path) return 0;
  const std::wstring root = std::wstring(path).substr(0, 3);
  std::uint64_t free_bytes = 0;
  if (const freespacetest::FreeSpaceQuery query = g_free_space_query.load()) {
    return query(root.c_str(), &free_bytes) ? free_bytes : 0;
  }
  ULARGE_INTEGER available = {};
  if (!GetDiskFreeSpaceExW(root.c_str(), &available, nullptr, nullptr)) {
    const DWORD error = GetLastError();
    OV_LOG(kLogError, "libmusic::GetDriveFreeSpace - ERR[%08X] [%s]", static_cast<unsigned>(error),
           ToMultiByte(root).c_str());
    return 0;
  }
  return available.QuadPart;
}

std::string GetMusicFolderPath(char drive_letter) {
  return std::string(1, drive_letter) + ":\\AV\\MUSIC";
}

std::wstring GetMusicFolderPathW(wchar_t drive_letter) {
  return std::wstring(1, drive_letter) + L":\\AV\\MUSIC";
}

std::wstring MusicPathFileName(const std::wstring& path) {
  const size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring MusicPathParent(const std::wstring& path) {
  const size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring MakeTransferPath(const std::wstring& source, const wchar_t* target) {
  std::wstring result;
  if (target) {
    result = target;
    result += L'\\';
  }
  if (source.find(L'\\') == std::wstring::npos) return result + source;
  result += MusicPathFileName(MusicPathParent(source));
  result += L'\\';
  result += MusicPathFileName(source);
  return result;
}

namespace freespacetest {
void SetFreeSpaceQuery(FreeSpaceQuery query) { g_free_space_query.store(query); }
}  // namespace freespacetest

}  // namespace libmusic
