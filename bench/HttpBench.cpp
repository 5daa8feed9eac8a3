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

#include "BareWinHttp.h"
#include "BenchTiming.h"
#include "Folders.h"
#include "Handle.h"
#include "OvWindows.h"
#include "StringUtil.h"
#include "WinHttpWrapper.h"

namespace {

const wchar_t kAgent[] = L"OvHttpBench/1.0";

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

uint64_t Bare(const std::string& url, const std::string& file) {
  DeleteFileA(file.c_str());
  const BareConnection bare(url, kAgent);
  uint64_t bytes = 0;
  return BareFetch(bare, bare.path, false, file, &bytes) ? bytes : 0;
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
    if (!one_connection || !kept) own = std::make_unique<BareConnection>(base, kAgent);
    if (one_connection && !kept) kept = std::move(own);
    const BareConnection& bare = one_connection ? *kept : *own;
    uint64_t got = 0;
    if (!BareFetch(bare, bare.path + ToWide(piece), false, local, &got) || got == 0) {
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
