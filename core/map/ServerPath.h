// The one gate between names that come from a server (image entries,
// packed file names, version texts, piece names) and local paths: a name is
// joined to its folder only when the result stays inside that folder.
// Refused: empty names, absolute paths and shares, drive letters and any
// ":", ".." and other all-dot parts, parts ending in a dot or a blank
// (Windows would drop them), device names (CON, NUL, COM1, ...), wildcard
// and control characters, a cut double-byte character. "/" and "\" both
// separate parts; "." parts and doubled separators are dropped.
// Free functions, safe on any thread.
#pragma once

#include <string>

// Folder (with or without its trailing backslash) + the name, with "\"
// separators; a name ending in a separator keeps one. False (out untouched,
// last error ERROR_INVALID_NAME, one error log line) when the name is
// refused.
bool JoinServerPath(const std::string& folder, const std::string& name, std::string* out);

// The name alone, normalised as JoinServerPath would append it; false when
// it would be refused. Logs nothing.
bool NormalizeServerName(const std::string& name, std::string* out);

// The same checks on one part of a path (no separators allowed), for names
// that become a single folder or file name, such as a version text.
bool IsSafeServerNamePart(const std::string& part);
