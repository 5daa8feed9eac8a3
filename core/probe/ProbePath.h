// Paths built from what the card holds: folder and file names listed on the
// card or stored inside the unit's probe files are input, so every such
// name is joined to its folder through SafePathJoin, which refuses anything
// that could leave the folder or name another file than it seems to.
// Also the trip folder of a probe file and the time stamp its name carries.
// Stateless; safe on any thread.
#pragma once

#include <string>

// Joins one name to a folder (with or without its trailing backslash).
// Refused (false, *out untouched): an empty name, "." and "..", a
// separator, drive colon, wildcard or control character (code page 932
// aware: 0x5C as the second byte of a character is no separator), a cut
// two-byte character, a trailing dot or space, a device name, and a result
// that would not fit MAX_PATH with `reserve` more characters.
bool SafePathJoin(const std::string& folder, const std::string& name, std::string* out,
                  size_t reserve = 0);

// The folder that holds the file (without its trailing backslash); empty
// when the path has no folder part or the folder is a root, which is never
// a trip folder.
std::string TripFolderOf(const std::string& source_path);

// The time stamp of a trip folder's name: year, month, day, hour, minute,
// second as 4, 2, 2, 2, 2 and 2 digits from its start. A field that the
// name is too short to hold, or that is not all digits, is 0.
struct TripTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};
TripTime TripTimeOf(const std::string& source_path);

// The send-data block name of a joined file: "YYYYMMDDhhmmss/<file>".
std::string SendBlockName(const TripTime& time, const char* file_name);
