// OvHttpBench <url> <folder> <rounds>: downloads the URL into files of the
// folder through CWinHttpWrapper and through a bare WinHTTP read loop, taking
// turns, and prints "ours <ms> <bytes>" and "bare <ms> <bytes>" per round
// for http_bench.sh, which adds curl and prints the ratios.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Folders.h"
#include "Handle.h"
#include "OvWindows.h"
#include "StringUtil.h"
#include "WinHttpWrapper.h"

namespace {

const wchar_t kAgent[] = L"OvHttpBench/1.0";

double NowMs() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

uint64_t Ours(const std::string& url, const std::string& file) {
  DeleteFileA(file.c_str());
  CWinHttpWrapper http;
  if (!http.SetRequest(url.c_str(), 0, file.c_str(), false) ||
      !http.OpenRequest(kHttpGet, kAgent, L"")) {
    return 0;
  }
  HANDLE thread = http.Download(nullptr, nullptr);
  if (!thread || WaitForSingleObject(thread, INFINITE) != WAIT_OBJECT_0 || http.GetResult() != 0) {
    fprintf(stderr, "ours: result %lu\n", http.GetResult());
    return 0;
  }
  return http.GetReceivedSize();
}

// The plainest loop WinHTTP allows: read until nothing comes, write each piece.
uint64_t Bare(const std::string& url, const std::string& file) {
  DeleteFileA(file.c_str());
  const std::wstring wide = ToWide(url);
  URL_COMPONENTS parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(wide.c_str(), 0, 0, &parts)) return 0;
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  CWinHttpHandle session(WinHttpOpen(kAgent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                     WINHTTP_NO_PROXY_BYPASS, 0));
  CWinHttpHandle connection(session ? WinHttpConnect(session.Get(), host.c_str(), parts.nPort, 0)
                                    : nullptr);
  CWinHttpHandle request(
      connection
          ? WinHttpOpenRequest(connection.Get(), L"GET", parts.lpszUrlPath, nullptr,
                               WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                               parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0)
          : nullptr);
  if (!request ||
      !WinHttpSendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, nullptr, 0, 0, 0) ||
      !WinHttpReceiveResponse(request.Get(), nullptr)) {
    return 0;
  }
  CFileHandle out(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out) return 0;
  std::vector<char> buffer(256 * 1024);
  uint64_t total = 0;
  for (;;) {
    DWORD read = 0;
    if (!WinHttpReadData(request.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read)) {
      return 0;
    }
    if (read == 0) return total;
    DWORD written = 0;
    if (!WriteFile(out.Get(), buffer.data(), read, &written, nullptr) || written != read) return 0;
    total += read;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: OvHttpBench <url> <folder> <rounds>\n");
    return 2;
  }
  const std::string url = argv[1];
  const std::string folder = PathAddBackslash(argv[2]);
  const int rounds = atoi(argv[3]);
  for (int round = 0; round < rounds; ++round) {
    double start = NowMs();
    const uint64_t ours = Ours(url, folder + "ours.bin");
    printf("ours %.1f %llu\n", NowMs() - start, static_cast<unsigned long long>(ours));
    start = NowMs();
    const uint64_t bare = Bare(url, folder + "bare.bin");
    printf("bare %.1f %llu\n", NowMs() - start, static_cast<unsigned long long>(bare));
    fflush(stdout);
    if (ours == 0 || bare == 0 || ours != bare) return 1;
  }
  DeleteFileA((folder + "ours.bin").c_str());
  DeleteFileA((folder + "bare.bin").c_str());
  return 0;
}
