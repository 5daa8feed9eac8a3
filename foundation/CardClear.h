// Clearing an SD card of the unit: everything goes but the unit's own files,
// the launcher and the probe folder (and, unless asked, the map-charge
// folders); the link file is then made again from the unit information file
// and the card is flushed. Blocking card I/O: call it from a worker or a
// window that may wait. Stateless, safe on any thread.
#pragma once

#include <string>

#include "OvWindows.h"

// Returns 0, 3 for a drive that is not (or no longer) a card of the unit or
// cannot be listed, or the platform error of the link file's creation.
// `folder` (none for the card's root) must lie on the drive; folder links
// are left as they are and never entered.
DWORD ClearSDCard(char drive, bool clear_map_folders, bool remove_this_folder,
                  const wchar_t* folder = nullptr);

// Whether removing `path` (a file, or a folder with or without its trailing
// backslash) would take something the unit needs: the card's root, its
// "\PC\" folder, the link file, an entry every clear keeps (the same keep
// list), a folder holding one of these, or anything inside a kept folder.
// The path is compared whole and case-blind as the file system would
// resolve it (dot parts, trailing dots and blanks, short names). Nothing a
// server or a card file names removes such a path.
bool IsProtectedCardPath(char drive, const std::string& path);
