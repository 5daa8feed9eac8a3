// OvSDInfoBench: the card-information window's refresh on a card holding
// many files, for sdinfo_bench.sh. Arguments: the card's drive letter, the
// number of files (spread over the folders the window measures), the
// rounds. The first run writes the files (and says so); later runs find
// them. Every line is "<name> <ms>" (best of the rounds):
//   refresh: the window's whole refresh (rows, size bar, probe date);
//   walk: a bare FindFirstFile / FindNextFile walk of the same folders
//     adding the sizes up (the floor of any refresh).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchTiming.h"
#include "CardMaker.h"
#include "Folders.h"
#include "SDInfoWindow.h"
#include "StringUtil.h"
#include "_WindowPolicy.h"

namespace {

uint64_t Walk(const std::string& folder) {
  uint64_t total = 0;
  WIN32_FIND_DATAA data;
  const HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return 0;
  do {
    const std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      total += Walk(folder + "\\" + name);
    } else {
      total += (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return total;
}

// The files, 64 to a sub-folder, spread over the measured folders.
bool MakeFiles(char drive, int files) {
  const std::string root = std::string(1, drive) + ":";
  if (!ovtest::CCardMaker().WriteCard(root + "\\", true)) return false;
  std::vector<std::string> folders;
  for (int row = 0; row < ui::sdinfo::kRowCount; ++row) {
    for (const std::string& f : ui::sdinfo::RowFolders(static_cast<ui::sdinfo::Row>(row))) {
      folders.push_back(root + f);
    }
  }
  const std::string marker = root + "\\bench.done";
  if (GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  std::printf("# writing %d files\n", files);
  const std::string bytes(1000, 'b');
  for (int i = 0; i < files; ++i) {
    std::string folder = folders[i % folders.size()];
    AppendBackslash(folder);
    folder += FormatString("D%04d", i / 64);
    if (i % 64 < static_cast<int>(folders.size())) CreateDirectories(folder);
    const std::string path = folder + FormatString("\\F%06d.DAT", i);
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      CreateDirectories(folder);
      --i;
      continue;
    }
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
  }
  const HANDLE done = CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (done != INVALID_HANDLE_VALUE) CloseHandle(done);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: OvSDInfoBench <drive> <files> <rounds>\n");
    return 2;
  }
  const char drive = argv[1][0];
  const int files = std::atoi(argv[2]);
  const int rounds = std::atoi(argv[3]);
  if (!MakeFiles(drive, files)) {
    std::fprintf(stderr, "cannot write the card %c:\n", drive);
    return 1;
  }
  lib::wfc::Initialize(GetModuleHandleA(nullptr), "Ostrovelle", nullptr, nullptr);
  lib::wfc::InitThread();
  {
    ui::CSDInfoWindow window(true);
    window.Create(nullptr);
    window.Show(drive);
    const double refresh = Best(rounds, [&] { window.Refresh(); });
    uint64_t sum = 0;
    const double walk = Best(rounds, [&] {
      sum = 0;
      for (int row = 0; row < ui::sdinfo::kRowCount; ++row) {
        for (const std::string& f : ui::sdinfo::RowFolders(static_cast<ui::sdinfo::Row>(row))) {
          sum += Walk(std::string(1, drive) + ":" + f);
        }
      }
    });
    std::printf("refresh %.3f\nwalk %.3f\nbytes %llu\n", refresh, walk,
                static_cast<unsigned long long>(sum));
  }
  lib::wfc::TermThread();
  lib::wfc::Terminate();
  return 0;
}
