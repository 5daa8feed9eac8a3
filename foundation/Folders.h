// Data folders, the download and install folders, path helpers, folder
// creation (long paths too), folder trees and the volume flush test.
// The data root is worked out once per process; everything else is
// stateless. DeleteFolderTree changes the process's current folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "OvWindows.h"

// The data root, ending in a backslash. The environment variable
// OV_DATA_ROOT, when set, replaces the application-data folder: tests and
// portable set-ups keep every program of one run on one root.
std::string GetAppDataRoot();
// The root for a given application-data folder (empty: none available) and
// system folder; the rule behind GetAppDataRoot.
std::string ComputeAppDataRoot(const std::string& app_data, const std::string& system_folder);

std::string GetSettingFolder();
std::string GetDataFolder();
std::string GetLogFolder();
std::string GetTemporaryFolder();
std::string GetUserDataFolder(const char* user_folder);
// The download folder on the system drive; OV_DOWNLOAD_FOLDER replaces it.
std::string GetDownloadFolder();

enum InstallProgramId { kInstallMain = 0, kInstallCore = 1, kInstallMusic = 2 };
// The installed program's path: the folder of the registry value InstallDir
// (SOFTWARE\Brennik\Ostrovelle EV\ of the local machine), or of the
// environment variable OV_INSTALL_DIR when set, so that each test can start
// programs of its own without touching the one registry value of the
// machine. Empty when neither names a folder.
std::string GetInstallProgramPath(int id);
std::string GetModulePath(HMODULE module);
// The running program's folder, ending in a backslash.
std::string GetModuleFolder();

bool PathFileExists(const std::string& path);
bool PathIsDirectory(const std::string& path);
// Wide forms, over the shell calls of the same names.
bool PathFileExists(const std::wstring& path);
bool PathIsDirectory(const std::wstring& path);
bool PathIsRoot(const std::string& path);
std::string PathFindFileName(const std::string& path);
std::string GetParentFolder(const std::string& path);
std::string PathRemoveFileSpec(const std::string& path);
std::string PathAppend(const std::string& path, const std::string& more);
std::string PathAddBackslash(const std::string& path);
void AppendBackslash(std::string& path);
void AppendBackslashW(std::wstring& path);
void RemoveTrailingBackslash(std::string& path);

bool CreateFolderTree(const std::string& path);
// Creates the folder and every missing parent; true when the folder exists
// afterwards. A path whose parent is a file fails without creating anything.
bool PathCreateDirectory(const std::wstring& path);
bool PathCreateDirectory(const std::string& path);
// The wide path with the long-path prefix that CreateDirectoryLongPath uses.
std::wstring MakeLongPathW(const std::string& path);
bool CreateDirectoryLongPath(const std::string& path, SECURITY_ATTRIBUTES* security);
bool CreateDirectories(const std::string& path);

uint64_t GetFolderTreeSize(const std::string& folder);
bool DeleteFolderTree(const std::string& folder, bool remove_folder);

bool IsVolumeLockable(char drive);

// Card paths, each to be written after the drive letter.
const std::vector<std::string>& GetCardKeepList();
const std::vector<std::string>& GetMapChargeFolderList();

// Forgets the cached data root, so that a test can point it elsewhere.
namespace folderstest {
void ResetDataRoot();
}  // namespace folderstest
