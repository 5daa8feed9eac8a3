// The music manager's wide path helpers; see WideUtil.h.
#include "WideUtil.h"

#include <vector>

#include "Folders.h"
#include "Handle.h"
#include "StringUtil.h"

namespace {

std::vector<wchar_t> EditBuffer(const std::wstring& text) {
  std::vector<wchar_t> buffer(text.begin(), text.end());
  buffer.resize(text.size() + MAX_PATH + 2, L'\0');
  return buffer;
}

bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

// Long paths reach the platform only with the long-path prefix.
std::wstring ForPlatform(const std::wstring& path) {
  if (path.size() < MAX_PATH - 12 || path.compare(0, 4, L"\\\\?\\") == 0) return path;
  if (path.size() >= 2 && path[1] == L':') return L"\\\\?\\" + path;
  if (path.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC" + path.substr(1);
  return path;
}

bool DeleteFileOfTree(const std::wstring& path, DWORD attributes) {
  const std::wstring target = ForPlatform(path);
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    SetFileAttributesW(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  if (DeleteFileW(target.c_str())) return true;
  const DWORD error = GetLastError();
  // A file we could not delete keeps its protection.
  if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(target.c_str(), attributes);
  SetLastError(error);
  return false;
}

}  // namespace

std::wstring CanonicalizePathW(const std::wstring& path) {
  std::vector<wchar_t> out(path.size() + MAX_PATH, L'\0');
  // The shell's canonicaliser writes at most MAX_PATH characters.
  if (path.size() >= MAX_PATH || !PathCanonicalizeW(out.data(), path.c_str())) return path;
  return std::wstring(out.data());
}

std::wstring GetCommandLineFolderW(const std::wstring& command_line) {
  std::vector<wchar_t> buffer = EditBuffer(command_line);
  PathRemoveArgsW(buffer.data());
  PathUnquoteSpacesW(buffer.data());
  PathRemoveFileSpecW(buffer.data());
  return std::wstring(buffer.data());
}

bool StartProcessW(const std::wstring& program, const std::wstring& arguments, int show,
                   HANDLE* process) {
  if (program.empty()) return false;
  std::wstring line = L"\"" + program + L"\"" + arguments;
  const std::wstring folder = GetCommandLineFolderW(line);
  std::vector<wchar_t> writable(line.begin(), line.end());
  writable.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(program.c_str(), writable.data(), nullptr, nullptr, FALSE,
                      NORMAL_PRIORITY_CLASS, nullptr, folder.empty() ? nullptr : folder.c_str(),
                      &startup, &info)) {
    return false;
  }
  const CHandle thread(info.hThread);
  CHandle started(info.hProcess);
  if (process) *process = started.Detach();
  return true;
}

bool ShellExecuteProgramW(const std::wstring& file, int show, HANDLE* process) {
  if (file.empty()) return false;
  std::vector<wchar_t> buffer = EditBuffer(file);
  PathRemoveFileSpecW(buffer.data());
  const std::wstring folder(buffer.data());
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.hwnd = GetDesktopWindow();
  info.lpVerb = L"open";
  info.lpFile = file.c_str();
  info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
  info.nShow = show;
  if (!ShellExecuteExW(&info)) return false;
  CHandle started(info.hProcess);
  if (process) *process = started.Detach();
  return true;
}

bool StartProgramW(const std::wstring& file, int show, HANDLE* process) {
  return ShellExecuteProgramW(file, show, process);
}

bool DeleteFolderTreeW(const wchar_t* folder, bool remove_folders) {
  if (!folder || !folder[0]) return false;
  std::wstring base = folder;
  AppendBackslashW(base);
  bool ok = true;
  {
    WIN32_FIND_DATAW found;
    CFindHandle find(FindFirstFileW(ForPlatform(base + L"*").c_str(), &found));
    if (!find) return false;
    do {
      if (IsDotEntry(found.cFileName)) continue;
      // Built whole: a path cut at some length could name another file.
      const std::wstring path = base + found.cFileName;
      const bool is_folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      if (is_folder && (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        // A link may lead anywhere: it is neither entered nor removed.
        continue;
      }
      if (is_folder) {
        ok = DeleteFolderTreeW(path.c_str(), true) && ok;
      } else {
        ok = DeleteFileOfTree(path, found.dwFileAttributes) && ok;
      }
    } while (FindNextFileW(find.Get(), &found));
  }
  if (remove_folders) {
    // The folder being removed must not be the current one.
    SetCurrentDirectoryW(ToWide(GetModuleFolder()).c_str());
    ok = RemoveDirectoryW(ForPlatform(base).c_str()) != FALSE && ok;
  }
  return ok;
}
