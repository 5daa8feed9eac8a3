// The music charge against a plain copy: generates a PC music folder of
// many tagged MP3 files, reads their tags on their own, runs one random
// music charge that fills the card, and copies listed files with the
// platform's plain copy, one of these a run. bench/music_bench.sh lets the
// charge and the copies take turns, takes the copying phase's time from the
// charge's log and copies the same files with cp as well.
#include "ChargeKind.h"
#include "ChunkedCopy.h"
#include "Folders.h"
#include "Handle.h"
#include "Log.h"
#include "MusicFileLib.h"
#include "MusicTestSupport.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "StringUtil.h"
#include "music/MusicCharge.h"
#include "music/MusicFileLibImpl.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kFilesPerFolder = 100;

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now;
}

// The charge's run, on this thread.
class CBenchCharge final : public CMusicCharge {
 public:
  using CMusicCharge::_Proc;
};

// The rest of a song's bytes as a hole: the copies read zeros all the same,
// and 20,000 songs take no room on the disk.
bool Extend(const std::wstring& path, int bytes) {
  CFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER end;
  end.QuadPart = bytes;
  return file && SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(file.Get());
}

// Folder%03d\%05d.mp3 with an album per folder; made once, marked done.
bool MakePcFolder(const std::wstring& pc, int files, int bytes) {
  const std::wstring marker = pc + ToWide(FormatString("\\made_%d_%d", files, bytes));
  if (musictest::FileExistsW(marker)) return true;
  for (int i = 0; i < files; ++i) {
    const int folder = i / kFilesPerFolder;
    const std::string song =
        musictest::MakeMp3(ToWide(FormatString("Album %d", folder)), i % kFilesPerFolder + 1, 8);
    const std::wstring path = pc + ToWide(FormatString("\\Folder%03d\\%05d.mp3", folder, i));
    if (!musictest::WriteFileW(path, song) || !Extend(path, bytes)) return false;
  }
  return musictest::WriteFileW(marker, "");
}

// The listed files (paths relative to a folder, one a line, '/' or '\\'
// between the parts), as Windows paths without a leading ".\\".
bool ReadList(const std::string& list_path, std::vector<std::wstring>* chosen) {
  std::FILE* list = std::fopen(list_path.c_str(), "r");
  if (!list) return false;
  char line[1024];
  while (std::fgets(line, sizeof(line), list)) {
    std::string relative = line;
    while (!relative.empty() && (relative.back() == '\n' || relative.back() == '\r')) {
      relative.pop_back();
    }
    if (relative.compare(0, 2, "./") == 0) relative.erase(0, 2);
    if (relative.empty()) continue;
    for (char& c : relative) {
      if (c == '/') c = '\\';
    }
    chosen->push_back(ToWide(relative));
  }
  std::fclose(list);
  return true;
}

// Makes the folders of the listed files below target.
bool MakeFolders(const std::vector<std::wstring>& chosen, const std::wstring& target) {
  for (const std::wstring& relative : chosen) {
    const size_t slash = relative.rfind(L'\\');
    if (slash != std::wstring::npos &&
        !PathCreateDirectory(target + L"\\" + relative.substr(0, slash))) {
      return false;
    }
  }
  return true;
}

// The platform's plain copy of the listed files (paths relative to pc, one a
// line, '/' or '\\' between the parts) from pc into plain: what any Win32
// copy costs here. Before the clock starts, the folders are made and, as a
// charge does before it copies, the PC folder's tags are read and kept: a
// copy that starts right after the card was emptied and synced runs up to
// a fifth faster here than the same copy started the charge's tag reading
// later (the disk's state moves on meanwhile), so both sides start alike.
// Answers the milliseconds, or -1.
double PlainCopyMs(const std::wstring& pc, const std::string& list_path,
                   const std::wstring& plain) {
  std::vector<std::wstring> chosen;
  if (!ReadList(list_path, &chosen)) return -1;
  if (!MakeFolders(chosen, plain)) return -1;
  libmusic::CMusicFileInfoList tags;
  libmusic::CMusicFileLib(pc, L"C:\\").FindMusicFiles(&tags, pc.c_str(), nullptr, true);
  const LARGE_INTEGER start = Now();
  for (const std::wstring& relative : chosen) {
    if (!CopyFileW((pc + L"\\" + relative).c_str(), (plain + L"\\" + relative).c_str(), FALSE)) {
      return -1;
    }
  }
  return 1000 * Seconds(start, Now());
}

DWORD CALLBACK AskAbort(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD,
                        HANDLE, HANDLE, void* data) {
  return WaitForSingleObject(static_cast<HANDLE>(data), 0) == WAIT_OBJECT_0 ? PROGRESS_CANCEL
                                                                            : PROGRESS_CONTINUE;
}

// What one file's copy onto the card is made of: the step named (the
// platform's plain copy for scale, the charge's whole list copy, the chunked
// copy without and with a progress routine, the move of the chunked copies
// into place, or "small": the flush and the questions asked per file), timed
// over all the listed files; prints "step_<name> <milliseconds>" lines.
// Every step writes into a folder of its own below target; "rename" moves
// what "chunked" wrote, so the script runs it after that one.
int Steps(const std::wstring& pc, const std::string& list_path, const std::wstring& target,
          const std::string& only) {
  std::vector<std::wstring> chosen;
  if (!ReadList(list_path, &chosen)) return 1;
  const wchar_t* folders[] = {L"\\COPYFILEW", L"\\CHUNKED", L"\\PROGRESS", L"\\IN_PLACE"};
  for (const wchar_t* folder : folders) {
    if (!MakeFolders(chosen, target + folder)) return 1;
  }
  const auto time = [&](const char* name, const auto& one) {
    const std::string named = name;
    const bool small = named != "copyfilew" && named != "chunked" && named != "chunked_progress" &&
                       named != "rename" && named != "in_place";
    if (only != name && !(small && only == "small")) return true;
    const LARGE_INTEGER start = Now();
    for (const std::wstring& relative : chosen) {
      if (!one(relative)) {
        std::fprintf(stderr, "step %s failed: %lu\n", name, GetLastError());
        return false;
      }
    }
    std::printf("step_%s %.0f\n", name, 1000 * Seconds(start, Now()));
    return true;
  };
  const std::wstring copyfilew = target + folders[0] + L"\\";
  const std::wstring chunked = target + folders[1] + L"\\";
  const std::wstring progress = target + folders[2] + L"\\";
  const std::wstring in_place = target + folders[3] + L"\\";
  const CHandle abort(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const std::wstring volume = std::wstring(L"\\\\.\\") + target[0] + L":";
  const CFileHandle card(CreateFileW(volume.c_str(), GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                     nullptr));
  const std::wstring root = target.substr(0, 3);
  if (only == "library") {
    // The charge's own list copy (library and hook, without a charge: no
    // abort event, no progress posts), timed as a whole.
    CMusicFileLibImpl library(pc, target + L"\\LIBRARY", nullptr);
    const LARGE_INTEGER library_start = Now();
    if (!library.TransferFile(chosen)) {
      std::fprintf(stderr, "the library's copy failed: %lu\n", library.GetErrorCode());
      return 1;
    }
    std::printf("step_library %.0f\n", 1000 * Seconds(library_start, Now()));
    return 0;
  }
  const bool all =
      time("copyfilew",
           [&](const std::wstring& r) {
             return CopyFileW((pc + L"\\" + r).c_str(), (copyfilew + r).c_str(), FALSE) != FALSE;
           }) &&
      time("chunked",
           [&](const std::wstring& r) {
             return CopyFileChunked((pc + L"\\" + r).c_str(), (chunked + r + L".TMP").c_str(),
                                    nullptr, nullptr, nullptr, 0) != FALSE;
           }) &&
      time("chunked_progress",
           [&](const std::wstring& r) {
             return CopyFileChunked((pc + L"\\" + r).c_str(), (progress + r).c_str(), &AskAbort,
                                    abort.Get(), nullptr, 0) != FALSE;
           }) &&
      time("in_place",
           [&](const std::wstring& r) {
             BOOL renamed = FALSE;
             return CopyFileChunkedAndRename(
                        (pc + L"\\" + r).c_str(), (in_place + r + L".TMP").c_str(),
                        (in_place + r).c_str(), nullptr, nullptr, nullptr, &renamed) != FALSE &&
                    renamed;
           }) &&
      time("rename",
           [&](const std::wstring& r) {
             return MoveFileExW((chunked + r + L".TMP").c_str(), (chunked + r).c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
           }) &&
      time("flush_card",
           [&](const std::wstring&) {
             DWORD bytes = 0;
             DeviceIoControl(card.Get(), FSCTL_UNLOCK_VOLUME, nullptr, 0, nullptr, 0, &bytes,
                             nullptr);
             if (DeviceIoControl(card.Get(), FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &bytes,
                                 nullptr)) {
               DeviceIoControl(card.Get(), FSCTL_UNLOCK_VOLUME, nullptr, 0, nullptr, 0, &bytes,
                               nullptr);
             }
             return true;
           }) &&
      time("abort_question",
           [&](const std::wstring&) {
             return WaitForSingleObject(abort.Get(), 0) == WAIT_TIMEOUT;
           }) &&
      time("source_attributes",
           [&](const std::wstring& r) {
             WIN32_FILE_ATTRIBUTE_DATA data;
             return GetFileAttributesExW((pc + L"\\" + r).c_str(), GetFileExInfoStandard, &data) !=
                    FALSE;
           }) &&
      time("target_lookup",
           [&](const std::wstring& r) {
             // A name not on the card yet, as before each copy.
             GetFileAttributesW((chunked + r).c_str());
             return true;
           }) &&
      time("card_root_exists",
           [&](const std::wstring&) {
             return GetFileAttributesW(root.c_str()) != INVALID_FILE_ATTRIBUTES;
           }) &&
      time("free_space", [&](const std::wstring&) {
        ULARGE_INTEGER available;
        return GetDiskFreeSpaceExW(root.c_str(), &available, nullptr, nullptr) != FALSE;
      });
  return all ? 0 : 1;
}

bool WriteSettings(const std::wstring& pc) {
  if (!CreateDirectories(GetSettingFolder())) return false;
  COstrovelleConfig config;
  config.InitMusic(false);
  config.SetMusicFolderW(pc);
  config.SetChargeType(2);
  config.SetChargeInterval(0);
  config.SetAutoChargeType(1);
  config.SetRandomPercent(0);
  config.SetChargeLimit(2);
  config.SetLimitFileCount(5000);
  return config.SaveMusic();
}

int Usage(const char* program) {
  std::fprintf(stderr,
               "usage: %s make pc_folder files bytes\n"
               "       %s tags pc_folder\n"
               "       %s charge work_folder pc_folder card_letter\n"
               "       %s plain pc_folder list_file target_folder\n"
               "       %s steps pc_folder list_file target_folder step\n",
               program, program, program, program, program);
  return 2;
}

}  // namespace

// One mode a run, so that the script can let the charge and the copies take
// turns: make the PC folder, read its tags, run one charge, copy plainly.
int main(int argc, char** argv) {
  if (argc < 3) return Usage(argv[0]);
  const std::string mode = argv[1];
  const std::wstring pc = ToWide(argv[2]);
  if (mode == "make" && argc == 5) {
    if (!MakePcFolder(pc, std::atoi(argv[3]), std::atoi(argv[4]))) {
      std::fprintf(stderr, "cannot make %s\n", argv[2]);
      return 1;
    }
    return 0;
  }
  if (mode == "tags") {
    // Tag reading on its own, what every charge pays before it copies:
    // once as the files come, once more.
    libmusic::CMusicFileLib lib(pc, L"C:\\");
    double tags[2] = {};
    size_t listed = 0;
    for (double& seconds : tags) {
      libmusic::CMusicFileInfoList list;
      const LARGE_INTEGER start = Now();
      lib.FindMusicFiles(&list, pc.c_str(), nullptr, true);
      seconds = Seconds(start, Now());
      listed = list.Size();
    }
    std::printf("listed %u\n", static_cast<unsigned>(listed));
    std::printf("tags_first_seconds %.3f\n", tags[0]);
    std::printf("tags_seconds %.3f\n", tags[1]);
    return 0;
  }
  if (mode == "plain" && argc == 5) {
    const double ms = PlainCopyMs(pc, argv[3], ToWide(argv[4]));
    if (ms < 0) {
      std::fprintf(stderr, "the plain copy failed: %lu\n", GetLastError());
      return 1;
    }
    std::printf("copyfilew %.0f\n", ms);
    return 0;
  }
  if (mode == "steps" && argc == 6) return Steps(pc, argv[3], ToWide(argv[4]), argv[5]);
  if (mode != "charge" || argc != 5) return Usage(argv[0]);

  const std::string work = argv[2];
  const std::wstring pc_folder = ToWide(argv[3]);
  const char letter = argv[4][0];
  SetEnvironmentVariableA("OV_DATA_ROOT", (work + "\\data\\").c_str());
  CBroxLogWrapper(__FILE__, __LINE__).Open(nullptr, 4096);
  if (!WriteSettings(pc_folder)) {
    std::fprintf(stderr, "cannot write the settings under %s\n", work.c_str());
    return 1;
  }
  const std::wstring sd = std::wstring(1, static_cast<wchar_t>(letter)) + L":\\AV\\MUSIC";
  CBenchCharge charge;
  charge.SetDriveLetter(letter);
  const LARGE_INTEGER run_start = Now();
  const uint32_t result = charge._Proc();
  const double run = Seconds(run_start, Now());
  const int copied = libmusic::CMusicFileLib(pc_folder, sd).FindMusicFilesEx(sd.c_str(), nullptr);
  std::printf("copied %d\n", copied);
  std::printf("result %u\n", static_cast<unsigned>(result));
  std::printf("charge_seconds %.3f\n", run);
  return result == CHARGE_RESULT_SUCCESS ? 0 : 1;
}
