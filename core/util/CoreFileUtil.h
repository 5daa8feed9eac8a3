// The core's path and folder helpers: the shell's path tests and edits for
// wide (UTF-16) paths, folder creation, folder sizes and listings, and the
// measuring and removal of the card's map-charge folders. Stateless; safe on
// any thread, except that DeleteMapChargeFolder changes the process's
// current folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Folders.h"
#include "OvWindows.h"

// Wide forms of the narrow helpers of Folders.h, each over the shell call of
// the same name (PathFileExists, PathIsDirectory and PathCreateDirectory
// live in Folders.h).
// A drive root with its backslash, or a share root.
bool PathIsRoot(const std::wstring& path);
// Exists and is not a folder.
bool PathIsFile(const std::wstring& path);
// The last component; empty when the path has no folder part.
std::wstring PathFindFileName(const std::wstring& path);
// The extension with its dot; empty when there is none or the path begins
// with it (".profile").
std::wstring PathFindExtension(const std::wstring& path);
// The path without its last component; unchanged when nothing can go.
std::wstring PathRemoveFileSpec(const std::wstring& path);
// The path with a trailing backslash; empty when that does not fit.
std::wstring PathAddBackslash(const std::wstring& path);
// The root of the path; empty when it has none.
std::wstring PathStripToRoot(const std::wstring& path);

// Creates every folder of the path (with is_file, every folder above its
// last component) with default security. Throws lib::IOException when one
// cannot be created; those created so far stay.
void CreateFolderPath(const char* path, bool is_file);

// The total size of every file below the folder; 0 when it cannot be listed.
uint64_t GetFolderSize(const std::wstring& folder);

// Appends the find record of every entry matching the pattern (a folder and
// wildcards), "." and ".." included, in the order the platform lists them.
// False when the listing cannot be started.
bool FindFiles(const char* pattern, std::vector<WIN32_FIND_DATAA>& list);

// Whether the file can be opened for reading, shared.
bool CanOpenFile(const char* path);

// The total size of the card's map-charge folders (Folders.h's list after
// the drive letter); a folder inside another one of the list is counted
// once. Returns 0.
int GetMapChargeFolderSize(char drive, uint64_t& total);

// Removes the card's map-charge folders with their contents. A folder that
// is not on the card is already removed. 0 when every removal succeeded,
// else the platform error kept by the retrying removal.
DWORD DeleteMapChargeFolder(char drive);
