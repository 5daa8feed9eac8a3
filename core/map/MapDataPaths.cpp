// Paths and URLs of the map data; see MapDataPaths.h.
#include "map/MapDataPaths.h"

#include <vector>

#include "StringUtil.h"

namespace {

// Where the path of a URL starts: behind "scheme://host[:port]", or 0.
size_t PathStart(const std::string& url) {
  const size_t scheme = url.find("://");
  if (scheme == std::string::npos) return 0;
  const size_t slash = url.find('/', scheme + 3);
  return slash == std::string::npos ? url.size() : slash;
}

// Where the query or the fragment starts, or the end.
size_t PathEnd(const std::string& url) {
  const size_t end = url.find_first_of("?#");
  return end == std::string::npos ? url.size() : end;
}

}  // namespace

std::string NormalizeUrl(const std::string& url) {
  std::string text = url;
  const size_t end = PathEnd(text);
  for (size_t i = 0; i < end; ++i) {
    if (IsCp932LeadByte(static_cast<unsigned char>(text[i]))) {
      ++i;
    } else if (text[i] == '\\') {
      text[i] = '/';
    }
  }
  const size_t start = PathStart(text);
  if (start >= end) return text;
  // The path begins with its "/"; each part runs to the next one.
  std::vector<std::string> kept;
  std::string last;
  size_t at = start + 1;
  for (;;) {
    size_t slash = text.find('/', at);
    if (slash == std::string::npos || slash > end) slash = end;
    last = text.substr(at, slash - at);
    if (last == "..") {
      if (!kept.empty()) kept.pop_back();
    } else if (!last.empty() && last != ".") {
      kept.push_back(last);
    }
    if (slash >= end) break;
    at = slash + 1;
  }
  std::string joined = "/";
  for (size_t i = 0; i < kept.size(); ++i) {
    if (i > 0) joined += '/';
    joined += kept[i];
  }
  const bool folder = last.empty() || last == "." || last == "..";
  if (folder && !kept.empty()) joined += '/';
  return text.substr(0, start) + joined + text.substr(end);
}

std::string UrlFolder(const std::string& url) {
  const size_t end = PathEnd(url);
  const size_t slash = url.rfind('/', end == 0 ? 0 : end - 1);
  if (slash == std::string::npos || slash < PathStart(url)) return url.substr(0, end) + "/";
  return url.substr(0, slash + 1);
}

std::string UrlFileName(const std::string& url) {
  const size_t end = PathEnd(url);
  const std::string folder = UrlFolder(url);
  return folder.size() >= end ? std::string() : url.substr(folder.size(), end - folder.size());
}

std::string FolderOfPath(const std::string& path) {
  size_t end = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsCp932LeadByte(static_cast<unsigned char>(path[i]))) {
      ++i;
    } else if (path[i] == '\\') {
      end = i + 1;
    }
  }
  return path.substr(0, end);
}
