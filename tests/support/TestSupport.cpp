// Test helpers; see TestSupport.h.
#include "TestSupport.h"

#include "Folders.h"
#include "Handle.h"
#include "Log.h"
#include "StringUtil.h"

#include <cstring>

#include <zlib.h>
#include <utility>

namespace ovtest {

namespace {

volatile LONG g_temp_counter = 0;

struct FindChangeTraits {
  using Type = HANDLE;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static void Destroy(Type h) { ::FindCloseChangeNotification(h); }
};

// The host path of a Windows path, through Wine's own export.
std::string HostPath(const std::string& path) {
  using ToUnix = char*(CDECL*)(const WCHAR*);
  const auto to_unix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!to_unix) return std::string();
  char* unix_path = to_unix(ToWide(path).c_str());
  if (!unix_path) return std::string();
  std::string result(unix_path);
  HeapFree(GetProcessHeap(), 0, unix_path);
  return result;
}

// Waits until the path exists (or is gone), woken by changes of its folder.
bool WaitForPath(const std::string& path, bool present, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  CScopedHandle<FindChangeTraits> change(
      FindFirstChangeNotificationA(GetParentFolder(path).c_str(), FALSE,
                                   FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_FILE_NAME));
  for (;;) {
    if ((GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) == present) return true;
    const DWORD spent = GetTickCount() - start;
    if (!change || spent >= timeout_ms) return false;
    WaitForSingleObject(change.Get(), timeout_ms - spent);
    FindNextChangeNotification(change.Get());
  }
}

// Wine starts a host program without a handle to wait on: the effect is
// waited for instead.
bool StartProcess(const std::string& command_line, PROCESS_INFORMATION* pi) {
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  std::vector<char> line(command_line.begin(), command_line.end());
  line.push_back('\0');
  return CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        pi) != FALSE;
}

bool RunHostCommand(const std::string& command, const std::string& path, bool present) {
  PROCESS_INFORMATION pi = {};
  if (!StartProcess(command, &pi)) return false;
  const CHandle process(pi.hProcess);
  const CHandle thread(pi.hThread);
  return WaitForPath(path, present, 30000);
}

// Wine cannot remove a host link itself (it removes an empty target
// instead), so the host's own program does it.
bool RemoveHostLinkImpl(const std::string& link) {
  std::string link_path = link;
  RemoveTrailingBackslash(link_path);
  const std::string host = HostPath(link_path);
  if (host.empty()) return false;
  return RunHostCommand(FormatString("/bin/rm -f \"%s\"", host.c_str()), link_path, false);
}

// Wide and link-aware: names code page 932 cannot hold go too, and a folder
// link is removed as a link, never followed.
void RemoveFolderContents(std::wstring folder, bool keep_drive_files) {
  AppendBackslashW(folder);
  WIN32_FIND_DATAW fd;
  CFindHandle find(FindFirstFileW((folder + L"*").c_str(), &fd));
  if (!find) return;
  do {
    const std::wstring name = fd.cFileName;
    if (name == L"." || name == L"..") continue;
    if (keep_drive_files && name.compare(0, 9, L".windows-") == 0) continue;
    const std::wstring path = folder + name;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      RemoveHostLinkImpl(ToMultiByte(path));
    } else if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      RemoveFolderContents(path, false);
      RemoveDirectoryW(path.c_str());
    } else {
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(path.c_str());
    }
  } while (FindNextFileW(find.Get(), &fd));
}

void RemoveTree(const std::string& folder) {
  if (!PathIsDirectory(folder)) return;
  RemoveFolderContents(ToWide(folder), false);
  std::string path = folder;
  RemoveTrailingBackslash(path);
  RemoveDirectoryA(path.c_str());
}

}  // namespace

CTempDir::CTempDir() {
  char base[MAX_PATH + 1] = {};
  GetTempPathA(MAX_PATH, base);
  // A fresh prefix names a temporary folder that does not exist yet.
  if (!PathIsDirectory(base)) CreateDirectories(base);
  for (;;) {
    const LONG n = InterlockedIncrement(&g_temp_counter);
    _path = FormatString("%sovtest_%lu_%ld_%lu\\", base, GetCurrentProcessId(),
                         static_cast<long>(n), GetTickCount());
    if (CreateDirectoryA(_path.c_str(), nullptr)) break;
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
}

CTempDir::~CTempDir() { RemoveTree(_path); }

CScopedDataRoot::CScopedDataRoot() {
  SetEnvironmentVariableA("OV_DATA_ROOT", _dir.Path().c_str());
  SetEnvironmentVariableA("OV_DOWNLOAD_FOLDER", (_dir.Path() + "Download\\").c_str());
  folderstest::ResetDataRoot();
}

CScopedDataRoot::~CScopedDataRoot() {
  SetEnvironmentVariableA("OV_DATA_ROOT", nullptr);
  SetEnvironmentVariableA("OV_DOWNLOAD_FOLDER", nullptr);
  folderstest::ResetDataRoot();
}

CLogCapture::CLogCapture(bool with_trace) : _path(_dir.File("test.log")) {
  logtest::Reset();
  CBroxLogWrapper(__FILE__, __LINE__).Open(_path.c_str(), 4096);
  if (with_trace) logtest::SetTraceEnabled(true);
}

CLogCapture::~CLogCapture() { logtest::Reset(); }

std::string CLogCapture::Text() const { return ReadFileOrEmpty(_path); }

std::vector<std::string> CLogCapture::Messages(const std::string& mark) const {
  std::vector<std::string> out;
  for (const std::string& line : SplitString(Text(), "\r\n")) {
    // time, mark, source, line, thread, message
    const std::vector<std::string> fields = SplitString(line, "\t", 6);
    if (fields.size() == 6 && fields[1] == mark) out.push_back(fields[5]);
  }
  return out;
}

void CLogCapture::Clear() { WriteFileBytes(_path, std::string()); }

std::string RemovableDriveLetters() {
  std::string letters;
  for (char c = 'D'; c <= 'Z'; ++c) {
    const char root[4] = {c, ':', '\\', 0};
    if (GetDriveTypeA(root) == DRIVE_REMOVABLE) letters += c;
  }
  return letters;
}

CTestCard::CTestCard() {
  const std::string letters = RemovableDriveLetters();
  if (letters.empty()) return;
  std::vector<HANDLE> mutexes;
  for (char c : letters) {
    mutexes.push_back(CreateMutexA(nullptr, FALSE, FormatString("OvTestCard_%c", c).c_str()));
  }
  // Any free letter will do: wait for the first mutex that comes free.
  const DWORD count = static_cast<DWORD>(
      mutexes.size() > MAXIMUM_WAIT_OBJECTS ? MAXIMUM_WAIT_OBJECTS : mutexes.size());
  const DWORD wait = WaitForMultipleObjects(count, mutexes.data(), FALSE, 600000);
  DWORD index = MAXDWORD;
  if (wait < WAIT_OBJECT_0 + count) index = wait - WAIT_OBJECT_0;
  if (wait >= WAIT_ABANDONED_0 && wait < WAIT_ABANDONED_0 + count) index = wait - WAIT_ABANDONED_0;
  for (DWORD i = 0; i < mutexes.size(); ++i) {
    if (i == index) {
      _mutex = mutexes[i];
      _letter = letters[i];
    } else if (mutexes[i]) {
      CloseHandle(mutexes[i]);
    }
  }
  if (!_letter) return;
  // The card search of this process and of the programs it starts sees this
  // card alone: other test processes work on theirs meanwhile.
  SetEnvironmentVariableA("OV_CARD_DRIVES", std::string(1, _letter).c_str());
  ReadFileBytes(Path(".windows-label"), &_label);
  ReadFileBytes(Path(".windows-serial"), &_serial);
  Empty();
}

CTestCard::~CTestCard() {
  if (_letter) {
    Empty();
    SetEnvironmentVariableA("OV_CARD_DRIVES", nullptr);
  }
  if (_mutex) {
    ReleaseMutex(_mutex);
    CloseHandle(_mutex);
  }
}

std::string CTestCard::Root() const { return std::string(1, _letter) + ":\\"; }

void CTestCard::Empty() {
  RemoveFolderContents(ToWide(Root()), true);
  const std::pair<const char*, const std::string*> files[] = {{".windows-label", &_label},
                                                              {".windows-serial", &_serial}};
  for (const auto& file : files) {
    const std::string path = Path(file.first);
    if (!file.second->empty() && !PathFileExists(path)) WriteFileBytes(path, *file.second);
  }
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  // Shared for reading: a card search of another test process may be reading
  // this card's files at the same moment.
  CFileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                               nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return bytes.empty() || (WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                     &written, nullptr) &&
                           written == bytes.size());
}

bool ReadFileBytes(const std::string& path, std::string* bytes) {
  CFileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.Get(), &size)) return false;
  bytes->assign(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  return bytes->empty() ||
         (ReadFile(file.Get(), &(*bytes)[0], static_cast<DWORD>(bytes->size()), &read, nullptr) &&
          read == bytes->size());
}

std::string ReadFileOrEmpty(const std::string& path) {
  std::string bytes;
  return ReadFileBytes(path, &bytes) ? bytes : std::string();
}

bool Gunzip(const std::string& packed, std::string* out) {
  z_stream stream = {};
  if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) return false;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  stream.avail_in = static_cast<uInt>(packed.size());
  std::vector<char> buffer(1 << 16);
  int result = Z_OK;
  out->clear();
  while (result == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer.data());
    stream.avail_out = static_cast<uInt>(buffer.size());
    result = inflate(&stream, Z_NO_FLUSH);
    out->append(buffer.data(), buffer.size() - stream.avail_out);
  }
  inflateEnd(&stream);
  return result == Z_STREAM_END && stream.avail_in == 0;
}

ProcessResult RunProcess(const std::string& command_line, DWORD timeout_ms) {
  ProcessResult result;
  PROCESS_INFORMATION pi = {};
  if (!StartProcess(command_line, &pi)) return result;
  result.started = true;
  CHandle process(pi.hProcess);
  CHandle thread(pi.hThread);
  if (WaitForSingleObject(process.Get(), timeout_ms) == WAIT_OBJECT_0) {
    result.finished = true;
    GetExitCodeProcess(process.Get(), &result.exit_code);
  } else {
    TerminateProcess(process.Get(), 1);
  }
  return result;
}

bool MakeFolderLink(const std::string& link, const std::string& target) {
  std::string link_path = link;
  RemoveTrailingBackslash(link_path);
  const std::string host_link = HostPath(link_path);
  const std::string host_target = HostPath(target);
  if (host_link.empty() || host_target.empty()) return false;
  return RunHostCommand(
      FormatString("/bin/ln -s \"%s\" \"%s\"", host_target.c_str(), host_link.c_str()), link_path,
      true);
}

bool RemoveFolderLink(const std::string& link) { return RemoveHostLinkImpl(link); }

std::string ExecutableFolder() { return GetModuleFolder(); }

}  // namespace ovtest
