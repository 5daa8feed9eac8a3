// The one place that includes the Windows headers, in the order they need.
// Everything else includes this file instead of <windows.h>.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <wincrypt.h>
#include <winioctl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <psapi.h>
#include <shellapi.h>
#include <wincrypt.h>
#include <winhttp.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <commctrl.h>
#include <imm.h>

// The shell's path helpers are called by their full A/W names; the generic
// names belong to our own helpers (see Folders.h).
#undef PathFileExists
#undef PathIsDirectory
#undef PathIsRoot
#undef PathFindFileName
#undef PathRemoveFileSpec
#undef PathAppend
#undef PathAddBackslash
#undef PathFindExtension
#undef PathStripToRoot
