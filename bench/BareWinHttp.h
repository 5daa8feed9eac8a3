// The plainest WinHTTP client there is, the floor our own client is measured
// against (OvHttpBench, OvMapDemo steps): a session and connection to a
// URL's server, and one request whose body is read in large reads, each
// written to a file as it comes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Handle.h"
#include "OvWindows.h"
#include "StringUtil.h"
#include "WinHttpWrapper.h"

// A session and a connection to the URL's server; path gets the URL's path
// and query.
struct BareConnection {
  CWinHttpHandle session;
  CWinHttpHandle connection;
  std::wstring path;
  bool secure = false;

  BareConnection(const std::string& url, const wchar_t* agent) {
    const std::wstring wide = ToWide(url);
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(wide.c_str(), 0, 0, &parts)) return;
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    session.Reset(WinHttpOpen(agent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                              WINHTTP_NO_PROXY_BYPASS, 0));
    if (session) connection.Reset(WinHttpConnect(session.Get(), host.c_str(), parts.nPort, 0));
  }
};

// One GET (or a form POST with an empty body) of path on the connection, its
// body read until nothing comes and each read written to file; `bytes` gets
// the body's length. False when any step fails.
inline bool BareFetch(const BareConnection& bare, const std::wstring& path, bool post,
                      const std::string& file, uint64_t* bytes = nullptr) {
  if (!bare.connection) return false;
  CWinHttpHandle request(WinHttpOpenRequest(
      bare.connection.Get(), post ? L"POST" : L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
      WINHTTP_DEFAULT_ACCEPT_TYPES, bare.secure ? WINHTTP_FLAG_SECURE : 0));
  const wchar_t* headers =
      post ? L"Content-Type:application/x-www-form-urlencoded" : WINHTTP_NO_ADDITIONAL_HEADERS;
  if (!request ||
      !WinHttpSendRequest(request.Get(), headers, post ? static_cast<DWORD>(-1) : 0,
                          WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !WinHttpReceiveResponse(request.Get(), nullptr)) {
    return false;
  }
  CFileHandle out(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out) return false;
  std::vector<char> buffer(256 * 1024);
  uint64_t total = 0;
  for (;;) {
    DWORD read = 0;
    if (!WinHttpReadData(request.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read)) {
      return false;
    }
    if (read == 0) break;
    DWORD written = 0;
    if (!WriteFile(out.Get(), buffer.data(), read, &written, nullptr) || written != read) {
      return false;
    }
    total += read;
  }
  if (bytes) *bytes = total;
  return true;
}
