// Windows version, administrator test and version texts; see Version.h.
#include "Version.h"

#include "Folders.h"
#include "Handle.h"
#include "Log.h"

#include <cstdlib>
#include <cstring>

int ClassifyOSVersion(const OSVERSIONINFOEXA& info, bool server_r2) {
  const DWORD major = info.dwMajorVersion;
  const DWORD minor = info.dwMinorVersion;
  const bool nt = info.dwPlatformId == VER_PLATFORM_WIN32_NT;
  const bool win9x = info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
  if (major < 3) return kOSUnknown;
  if (major == 3) return minor == 51 ? kOSWinNT351 : kOSUnknown;
  if (major == 4) {
    if (win9x) {
      if (minor == 0) return lstrcmpiA(info.szCSDVersion, " C") == 0 ? kOSWin95C : kOSWin95;
      if (minor == 10) return lstrcmpiA(info.szCSDVersion, " A") == 0 ? kOSWin98A : kOSWin98;
      if (minor == 90) return kOSWinMe;
      return kOSUnknown;
    }
    return (nt && minor == 0) ? kOSWinNT4 : kOSUnknown;
  }
  if (major == 5) {
    if (!nt) return kOSUnknown;
    if (minor == 0) return kOSWin2000;
    if (minor == 1) return kOSWinXP;
    if (minor == 2) return server_r2 ? kOSWinServer2003R2 : kOSWinServer2003;
    return kOSUnknown;
  }
  if (major == 6) {
    if (!nt) return kOSUnknown;
    if (minor == 0) return info.wProductType == VER_NT_SERVER ? kOSWinServer2008 : kOSWinVista;
    if (minor == 1) return kOSWin7;
    return kOSWinLater;
  }
  return nt ? kOSWinLater : kOSUnknown;
}

int GetOSType() {
  OSVERSIONINFOEXA info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) return kOSUnknown;
  return ClassifyOSVersion(info, GetSystemMetrics(SM_SERVERR2) != 0);
}

bool IsWindowsXP() { return GetOSType() == kOSWinXP; }

bool IsWindowsServer2003() {
  const int t = GetOSType();
  return t == kOSWinServer2003 || t == kOSWinServer2003R2;
}

bool IsWindowsVistaOrLater() { return GetOSType() > kOSWinServer2003R2; }

bool IsSupportedOSType(int type) {
  return type == kOSWinXP || type == kOSWinServer2003 || type == kOSWinServer2003R2 ||
         type >= kOSWinVista;
}

bool IsSupportedOS() {
  const int type = GetOSType();
  if (IsSupportedOSType(type)) return true;
  OV_LOG(kLogError, "起動OS-NG OSType:%d", type);
  return false;
}

bool IsAdministrator() {
  HANDLE raw = nullptr;
  if (!OpenThreadToken(GetCurrentThread(), TOKEN_DUPLICATE | TOKEN_QUERY, TRUE, &raw)) {
    if (GetLastError() != ERROR_NO_TOKEN) return false;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, &raw)) return false;
  }
  CHandle token(raw);
  HANDLE dup_raw = nullptr;
  if (!DuplicateToken(token.Get(), SecurityImpersonation, &dup_raw)) return false;
  CHandle impersonation(dup_raw);

  SID_IDENTIFIER_AUTHORITY nt_authority = {SECURITY_NT_AUTHORITY};
  PSID admins = nullptr;
  if (!AllocateAndInitializeSid(&nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins)) {
    return false;
  }
  struct SidFree {
    PSID sid;
    ~SidFree() { FreeSid(sid); }
  } sid_owner{admins};

  const DWORD acl_size = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(admins);
  std::vector<char> acl_buffer(acl_size);
  PACL acl = reinterpret_cast<PACL>(acl_buffer.data());
  constexpr DWORD kAccessRead = 1;
  constexpr DWORD kAccessWrite = 2;
  SECURITY_DESCRIPTOR sd;
  if (!InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) ||
      !InitializeAcl(acl, acl_size, ACL_REVISION2) ||
      !AddAccessAllowedAce(acl, ACL_REVISION2, kAccessRead | kAccessWrite, admins) ||
      !SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE) ||
      !SetSecurityDescriptorGroup(&sd, admins, FALSE) ||
      !SetSecurityDescriptorOwner(&sd, admins, FALSE) || !IsValidSecurityDescriptor(&sd)) {
    return false;
  }
  GENERIC_MAPPING mapping = {kAccessRead, kAccessWrite, 0, kAccessRead | kAccessWrite};
  PRIVILEGE_SET privileges;
  DWORD privileges_size = sizeof(privileges);
  DWORD granted = 0;
  BOOL status = FALSE;
  if (!AccessCheck(&sd, impersonation.Get(), kAccessRead, &mapping, &privileges, &privileges_size,
                   &granted, &status)) {
    return false;
  }
  return status != FALSE;
}

int CFileVersionInfo::Load(const std::string& path) {
  Clear();
  if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return 1;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return 2;
  try {
    _block.assign(size, 0);
  } catch (const std::bad_alloc&) {
    return 3;
  }
  if (!GetFileVersionInfoA(path.c_str(), 0, size, _block.data())) {
    _block.clear();
    return 4;
  }
  return 0;
}

std::string CFileVersionInfo::QueryString(const char* sub_block) const {
  if (_block.empty()) return std::string();
  void* value = nullptr;
  UINT length = 0;
  // VerQueryValue takes a non-const block although it only reads it.
  if (!VerQueryValueA(const_cast<char*>(_block.data()), sub_block, &value, &length) || !value ||
      length == 0) {
    return std::string();
  }
  const char* text = static_cast<const char*>(value);
  return std::string(text, strnlen(text, length));
}

std::string CFileVersionInfo::GetFileVersion() const {
  std::string v = QueryString("\\StringFileInfo\\041104b0\\FileVersion");
  if (v.empty()) v = QueryString("\\StringFileInfo\\041103a4\\FileVersion");
  return v;
}

std::string GetModuleFileVersion() {
  CFileVersionInfo info;
  if (info.Load(GetModulePath(nullptr)) != 0) return std::string();
  return info.GetFileVersion();
}

std::string FormatProductVersionText(std::string text) {
  if (text.empty()) return text;
  auto count = [&text](char c) {
    size_t n = 0;
    for (char ch : text) n += ch == c;
    return n;
  };
  if (count(',') == 3) {
    text.erase(text.rfind(','));
  } else if (count('.') == 3) {
    text.erase(text.rfind('.'));
  }
  for (char& c : text) {
    if (c == ',') c = '.';
  }
  return "Ver." + text;
}

std::string GetProductVersionText() {
  CFileVersionInfo info;
  if (info.Load(GetModulePath(nullptr)) != 0) return std::string();
  return FormatProductVersionText(info.QueryString("\\StringFileInfo\\041104b0\\ProductVersion"));
}

VersionRecord ParseVersion(const std::string& text) {
  std::string parts[4];
  int index = 0;
  int separators = 0;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      if (index < 4 && parts[index].size() >= 20) break;
      if (index < 4) parts[index] += c;
    } else if (c == ',' || c == '.') {
      ++separators;
      ++index;
    }
  }
  VersionRecord v;
  if (separators != 3) return v;
  v.major = atoi(parts[0].c_str());
  v.minor = atoi(parts[1].c_str());
  v.build = atoi(parts[2].c_str());
  v.revision = atoi(parts[3].c_str());
  return v;
}

bool CompareVersion(const VersionRecord& a, const VersionRecord& b) {
  if (a.major != b.major) return a.major > b.major;
  if (a.minor != b.minor) return a.minor > b.minor;
  if (a.build != b.build) return a.build > b.build;
  return a.revision > b.revision;
}
