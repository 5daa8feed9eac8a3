// Paths and URLs of the map data: the server's URLs as the download forms
// them, and the folders of local paths. Names from the server become local
// paths only through ServerPath.h. Pure functions, safe on any thread.
#pragma once

#include <string>

// "\" becomes "/", "." parts go and ".." parts take the part before them
// away, in the path behind the scheme and host (never the host itself).
std::string NormalizeUrl(const std::string& url);
// The URL up to and including its last "/" (query and fragment ignored).
std::string UrlFolder(const std::string& url);
// The text after the last "/" of the URL's path, without query or fragment.
std::string UrlFileName(const std::string& url);

// The folder of a local path, up to and including its last backslash (a
// second byte of 表 or ソ is no separator); empty when it has none.
std::string FolderOfPath(const std::string& path);
