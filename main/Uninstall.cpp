// The data removal of "Uninstall"; see Uninstall.h.
#include "Uninstall.h"

#include "EnvironmentOverrides.h"
#include "Folders.h"
#include "Log.h"
#include "OvWindows.h"

namespace {

constexpr char kProductTail[] = "\\Brennik\\Ostrovelle EV\\";

bool EndsWithNoCase(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         lstrcmpiA(text.c_str() + text.size() - tail.size(), tail.c_str()) == 0;
}

bool IsFromEnvironment() { return !GetEnvironmentOverride(kOverrideDataRoot).empty(); }

}  // namespace

std::string ChooseUninstallFolder(const std::string& root, bool from_environment) {
  if (root.empty()) return std::string();
  std::string folder = root;
  AppendBackslash(folder);
  // "E:\" and "\\server\share\" alike: never a whole volume. The system's
  // test takes a share's root only without its closing backslash.
  std::string bare = folder;
  RemoveTrailingBackslash(bare);
  if (PathIsRoot(folder) || PathIsRoot(bare)) return std::string();
  if (from_environment || EndsWithNoCase(folder, kProductTail)) return folder;
  return std::string();
}

bool UninstallData() {
  const std::string root = GetAppDataRoot();
  OV_LOG(kLogInfo, "アンインストール要求 %s", root.c_str());
  const std::string folder = ChooseUninstallFolder(root, IsFromEnvironment());
  if (folder.empty()) {
    OV_LOG(kLogError, "アンインストール対象外のフォルダ %s", root.c_str());
    return false;
  }
  return DeleteFolderTree(folder, false);
}
