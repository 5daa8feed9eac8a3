// The card clear; see CardClear.h.
#include "CardClear.h"

#include "Folders.h"
#include "Handle.h"
#include "Log.h"
#include "OstrovelleLite/PcLinkFile.h"
#include "StringUtil.h"

#include <string>
#include <vector>

namespace {

constexpr DWORD kBadDrive = 3;

struct ClearRules {
  std::vector<std::wstring> kept;  // whole paths, drive letter in front
};

ClearRules MakeRules(char drive, bool clear_map_folders) {
  ClearRules rules;
  const std::string letter(1, drive);
  for (const std::string& row : GetCardKeepList()) rules.kept.push_back(ToWide(letter + row));
  if (!clear_map_folders) {
    for (const std::string& row : GetMapChargeFolderList()) {
      rules.kept.push_back(ToWide(letter + row));
    }
  }
  return rules;
}

bool IsKept(const ClearRules& rules, const std::wstring& path) {
  for (const std::wstring& row : rules.kept) {
    if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, row.c_str(), -1, path.c_str(), -1) ==
        CSTR_EQUAL) {
      return true;
    }
  }
  return false;
}

// A folder given from outside must be a path on the card itself, with no
// step up that could lead off it.
bool IsOnDrive(char drive, const std::wstring& folder) {
  if (folder.size() < 3 || towupper(folder[0]) != towupper(static_cast<wchar_t>(drive)) ||
      folder[1] != L':' || folder[2] != L'\\') {
    return false;
  }
  const std::wstring padded = L"\\" + folder + L"\\";
  return padded.find(L"\\..\\") == std::wstring::npos && folder.find(L'/') == std::wstring::npos;
}

DWORD ClearFolder(char drive, const ClearRules& rules, bool remove_this_folder,
                  std::wstring folder) {
  AppendBackslashW(folder);
  WIN32_FIND_DATAW fd;
  {
    CFindHandle find(FindFirstFileW((folder + L"*").c_str(), &fd));
    if (!find) {
      OV_LOG(kLogError, "SDカードクリア時の検索失敗 %s", ToMultiByte(folder).c_str());
      return kBadDrive;
    }
    do {
      const std::wstring name = fd.cFileName;
      if (name == L"." || name == L"..") continue;
      const bool is_folder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      const std::wstring path = folder + name + (is_folder ? L"\\" : L"");
      if (IsKept(rules, path)) continue;
      if (is_folder && (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        // A link may lead off the card: it is neither entered nor removed
        // (some file systems remove an empty target in place of the link).
        continue;
      }
      if (is_folder) {
        ClearFolder(drive, rules, true, path);
      } else {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
          SetFileAttributesW(path.c_str(), fd.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
        }
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find.Get(), &fd));
  }
  // A folder that still holds kept entries stays: its removal fails.
  if (remove_this_folder && !IsKept(rules, folder)) RemoveDirectoryW(folder.c_str());
  return 0;
}

// The path as the file system resolves it, upper-cased and without a
// trailing backslash ("E:" for the root): dot parts, "/", trailing dots and
// blanks as GetFullPathNameW takes them, short names made long where the
// path exists.
std::wstring ResolvedUpper(const std::wstring& path) {
  constexpr DWORD kSize = 32768;
  std::wstring full(kSize, L'\0');
  DWORD length = GetFullPathNameW(path.c_str(), kSize, &full[0], nullptr);
  if (length == 0 || length >= kSize) {
    full = path;
  } else {
    full.resize(length);
  }
  std::wstring longer(kSize, L'\0');
  length = GetLongPathNameW(full.c_str(), &longer[0], kSize);
  if (length > 0 && length < kSize) full.assign(longer.data(), length);
  if (!full.empty()) CharUpperBuffW(&full[0], static_cast<DWORD>(full.size()));
  while (!full.empty() && full.back() == L'\\') full.pop_back();
  return full;
}

// Whether `inner` lies below `outer` (both resolved).
bool IsBelow(const std::wstring& inner, const std::wstring& outer) {
  return inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
         inner[outer.size()] == L'\\';
}

}  // namespace

bool IsProtectedCardPath(char drive, const std::string& path) {
  const std::wstring resolved = ResolvedUpper(ToWide(path));
  const std::wstring root = ResolvedUpper(ToWide(FormatString("%c:\\", drive)));
  // Nothing off the card is the card's to remove either.
  if (resolved.size() <= root.size() || !IsBelow(resolved, root)) return true;
  // The unit's folder itself; what lies below it is the charges' to replace.
  if (resolved == ResolvedUpper(ToWide(FormatString("%c:\\PC\\", drive)))) return true;
  std::vector<std::wstring> kept = {ResolvedUpper(ToWide(CPcLinkFile::LinkPath(drive)))};
  for (const std::string& row : GetCardKeepList()) {
    kept.push_back(ResolvedUpper(ToWide(FormatString("%c%s", drive, row.c_str()))));
  }
  for (const std::wstring& entry : kept) {
    if (resolved == entry || IsBelow(entry, resolved) || IsBelow(resolved, entry)) return true;
  }
  return false;
}

DWORD ClearSDCard(char drive, bool clear_map_folders, bool remove_this_folder,
                  const wchar_t* folder) {
  const ClearRules rules = MakeRules(drive, clear_map_folders);
  if (folder) {
    if (drive == 0 || !IsOnDrive(drive, folder)) {
      OV_LOG(kLogError, "SDカード内クリア時のドライブ指定不正");
      return kBadDrive;
    }
    return ClearFolder(drive, rules, remove_this_folder, folder);
  }

  OV_LOG(kLogInfo, "SDカード内クリア要求 %Cドライブ", drive ? drive : '?');
  const std::string root = FormatString("%c:\\", drive);
  if (drive == 0 || GetFileAttributesA(root.c_str()) == INVALID_FILE_ATTRIBUTES) {
    OV_LOG(kLogError, "SDカード内クリア時のドライブ指定不正");
    return kBadDrive;
  }
  // The card may have been swapped since it was chosen: clear nothing that
  // is not the unit's card.
  if (!IsDiruSDCard(drive)) {
    OV_LOG(kLogError, "SDカード内クリア時のナビSD確認失敗 %Cドライブ", drive);
    return kBadDrive;
  }
  DWORD result = ClearFolder(drive, rules, remove_this_folder, ToWide(root));
  if (result != 0) return result;

  if (!CopyOutingFile(drive, true)) {
    const DWORD error = GetLastError();
    result = error ? error : ERROR_GEN_FAILURE;
    OV_LOG(kLogError, "PcLink.dat作成失敗 ERR:0x%08X", static_cast<unsigned>(result));
  }
  if (!IsVolumeLockable(drive)) {
    OV_LOG(kLogError, "フォルダクリア時のフラッシュ失敗 ERR:0x%08X",
           static_cast<unsigned>(GetLastError()));
  }
  return result;
}
