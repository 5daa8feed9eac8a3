// Windows version classification, the administrator test, version blocks of
// program files, and version texts. Safe on any thread.
#pragma once

#include "OvWindows.h"

#include <string>
#include <vector>

enum OSType {
  kOSUnknown = 0,
  kOSWinNT351 = 1,
  kOSWin95 = 2,
  kOSWin95C = 3,
  kOSWinNT4 = 4,
  kOSWin98 = 5,
  kOSWin98A = 6,
  kOSWinMe = 7,
  kOSWin2000 = 8,
  kOSWinXP = 9,
  kOSWinServer2003 = 10,
  kOSWinServer2003R2 = 11,
  kOSWinVista = 12,
  kOSWinServer2008 = 13,
  kOSWin7 = 14,
  kOSWinLater = 15,
};

// The classification itself, apart from the platform query.
int ClassifyOSVersion(const OSVERSIONINFOEXA& info, bool server_r2);
int GetOSType();
bool IsWindowsXP();
bool IsWindowsServer2003();
bool IsWindowsVistaOrLater();
// The start-up rule of the three programs for a classified system: XP,
// Server 2003 or later.
bool IsSupportedOSType(int type);
// The rule for this system. Logs "起動OS-NG OSType:%d" when it is older.
bool IsSupportedOS();

bool IsAdministrator();

class CFileVersionInfo final {
 public:
  CFileVersionInfo() = default;
  ~CFileVersionInfo() = default;
  CFileVersionInfo(const CFileVersionInfo&) = delete;
  CFileVersionInfo& operator=(const CFileVersionInfo&) = delete;

  // 0, or 1 no such file, 2 no version block, 3 no memory, 4 unreadable.
  int Load(const std::string& path);
  void Clear() { _block.clear(); }
  std::string GetFileVersion() const;
  std::string QueryString(const char* sub_block) const;

 private:
  std::vector<char> _block;
};

std::string GetModuleFileVersion();
std::string GetProductVersionText();
// "1,2,3,4" or "1.2.3.4" shown as "Ver.1.2.3"; empty stays empty.
std::string FormatProductVersionText(std::string raw);

struct VersionRecord {
  int major = 0;
  int minor = 0;
  int build = 0;
  int revision = 0;
};
VersionRecord ParseVersion(const std::string& text);
// True when a is greater than b.
bool CompareVersion(const VersionRecord& a, const VersionRecord& b);
