// libmusic test helpers; see MusicTestSupport.h.
#include "MusicTestSupport.h"

#include "Log.h"
#include "StringUtil.h"

namespace musictest {

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
