// OvHttpBench <url> <folder> <rounds>: downloads the URL into files of the
// folder through CWinHttpWrapper and through a bare WinHTTP read loop, taking
// turns, and prints "ours <ms> <bytes>" and "bare <ms> <bytes>" per round
// for http_bench.sh, which adds curl and prints the ratios.
// OvHttpBench pieces|pieces-one <base url> <manifest> <folder>: the bare
// loop fetching every piece of a transfer_bench manifest ("<mode> <name>
// <piece> ...", piece paths below the base URL) one after another into the
// same paths below the folder, for mapcharge_bench.sh: "pieces" with a
// session and connection of its own for each piece, as http_bench's bare
// loop has it (prints "bare <ms> <bytes>"); "pieces-one" through one
// session and connection kept for all, as the charge keeps them
// ("bare-one ...").
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
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

// One GET on the connection, its body read until nothing comes and each
// read written to the file: the plainest loop WinHTTP allows.
uint64_t BareGet(HINTERNET connection, const std::wstring& path, bool secure,
                 const std::string& file) {
  CWinHttpHandle request(WinHttpOpenRequest(connection, L"GET", path.c_str(), nullptr,
                                            WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                            secure ? WINHTTP_FLAG_SECURE : 0));
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

// A session and a connection to the URL's server; path gets the URL's path.
struct BareConnection {
  CWinHttpHandle session;
  CWinHttpHandle connection;
  std::wstring path;
  bool secure = false;

  explicit BareConnection(const std::string& url) {
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
    session.Reset(WinHttpOpen(kAgent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                              WINHTTP_NO_PROXY_BYPASS, 0));
    if (session) connection.Reset(WinHttpConnect(session.Get(), host.c_str(), parts.nPort, 0));
  }
};

uint64_t Bare(const std::string& url, const std::string& file) {
  DeleteFileA(file.c_str());
  const BareConnection bare(url);
  return bare.connection ? BareGet(bare.connection.Get(), bare.path, bare.secure, file) : 0;
}

// Every piece of the manifest, one after another, as the charge fetches them.
int Pieces(const std::string& base, const std::string& manifest, const std::string& folder,
           bool one_connection) {
  std::ifstream lines(manifest);
  if (!lines) {
    fprintf(stderr, "pieces: cannot read %s\n", manifest.c_str());
    return 1;
  }
  std::vector<std::string> pieces;
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string mode, name, piece;
    words >> mode >> name;
    while (words >> piece) pieces.push_back(piece);
  }
  const double start = NowMs();
  std::unique_ptr<BareConnection> kept;
  uint64_t total = 0;
  for (const std::string& piece : pieces) {
    std::string local = PathAddBackslash(folder) + piece;
    for (char& c : local) c = c == '/' ? '\\' : c;
    if (!CreateDirectories(local.substr(0, local.rfind('\\') + 1))) return 1;
    std::unique_ptr<BareConnection> own;
    if (!one_connection || !kept) own = std::make_unique<BareConnection>(base);
    if (one_connection && !kept) kept = std::move(own);
    const BareConnection& bare = one_connection ? *kept : *own;
    const uint64_t got = bare.connection ? BareGet(bare.connection.Get(), bare.path + ToWide(piece),
                                                   bare.secure, local)
                                         : 0;
    if (got == 0) {
      fprintf(stderr, "pieces: %s failed\n", piece.c_str());
      return 1;
    }
    total += got;
  }
  printf("%s %.1f %llu\n", one_connection ? "bare-one" : "bare", NowMs() - start,
         static_cast<unsigned long long>(total));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "pieces") {
    return Pieces(argv[2], argv[3], argv[4], false);
  }
  if (argc == 5 && std::string(argv[1]) == "pieces-one") {
    return Pieces(argv[2], argv[3], argv[4], true);
  }
  if (argc != 4) {
    fprintf(stderr,
            "usage: OvHttpBench <url> <folder> <rounds> |\n"
            "       pieces|pieces-one <base url> <manifest> <folder>\n");
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
