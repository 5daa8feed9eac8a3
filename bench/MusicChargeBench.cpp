// The music charge against a plain copy: generates a PC music folder of
// many tagged MP3 files (once; kept for later runs), reads their tags on
// their own, then runs one random music charge that fills the card, and
// prints the times, beside the platform's plain copy of the same files.
// bench/music_bench.sh runs it, takes the copying phase's time from the log
// and copies the same files with cp for the comparison.
//
// Usage: OvMusicChargeBench.exe work_folder card_letter [files] [bytes]
#include "ChargeKind.h"
#include "Folders.h"
#include "Handle.h"
#include "Log.h"
#include "MusicFileLib.h"
#include "MusicTestSupport.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "StringUtil.h"
#include "music/MusicCharge.h"

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

// The platform's plain copy of the files the charge put on the card, from
// the same PC files to a folder beside the card's music folder: what any
// Win32 copy costs here. Answers the seconds, or -1.
double PlainCopySeconds(const std::wstring& pc, const std::wstring& sd, const std::wstring& plain) {
  CreateDirectoryW(plain.c_str(), nullptr);
  std::vector<std::wstring> chosen;
  WIN32_FIND_DATAW folder = {};
  CFindHandle folders(FindFirstFileW((sd + L"\\*").c_str(), &folder));
  if (!folders) return -1;
  do {
    if (!(folder.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || folder.cFileName[0] == L'.')
      continue;
    WIN32_FIND_DATAW file = {};
    CFindHandle files(FindFirstFileW((sd + L"\\" + folder.cFileName + L"\\*.mp3").c_str(), &file));
    if (!files) continue;
    do {
      chosen.push_back(std::wstring(folder.cFileName) + L"\\" + file.cFileName);
    } while (FindNextFileW(files.Get(), &file));
    CreateDirectoryW((plain + L"\\" + folder.cFileName).c_str(), nullptr);
  } while (FindNextFileW(folders.Get(), &folder));
  const LARGE_INTEGER start = Now();
  for (const std::wstring& relative : chosen) {
    if (!CopyFileW((pc + L"\\" + relative).c_str(), (plain + L"\\" + relative).c_str(), FALSE)) {
      return -1;
    }
  }
  return Seconds(start, Now());
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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s work_folder card_letter [files] [bytes]\n", argv[0]);
    return 2;
  }
  const std::string work = argv[1];
  const char letter = argv[2][0];
  const int files = argc > 3 ? std::atoi(argv[3]) : 20000;
  const int bytes = argc > 4 ? std::atoi(argv[4]) : 400000;
  SetEnvironmentVariableA("OV_DATA_ROOT", (work + "\\data\\").c_str());
  CBroxLogWrapper(__FILE__, __LINE__).Open(nullptr, 4096);

  const std::wstring pc = ToWide(work) + L"\\pc";
  if (!MakePcFolder(pc, files, bytes) || !WriteSettings(pc)) {
    std::fprintf(stderr, "cannot prepare %s\n", work.c_str());
    return 1;
  }

  // Tag reading on its own, what every charge pays before it copies: once
  // as the files come (the first reading after they were made), once more.
  const std::wstring sd = std::wstring(1, static_cast<wchar_t>(letter)) + L":\\AV\\MUSIC";
  libmusic::CMusicFileLib lib(pc, sd);
  double tags[2] = {};
  size_t listed = 0;
  for (double& seconds : tags) {
    libmusic::CMusicFileInfoList list;
    const LARGE_INTEGER start = Now();
    lib.FindMusicFiles(&list, pc.c_str(), nullptr, true);
    seconds = Seconds(start, Now());
    listed = list.Size();
  }

  CBenchCharge charge;
  charge.SetDriveLetter(letter);
  const LARGE_INTEGER run_start = Now();
  const uint32_t result = charge._Proc();
  const double run = Seconds(run_start, Now());
  const int copied = libmusic::CMusicFileLib(pc, sd).FindMusicFilesEx(sd.c_str(), nullptr);
  const double plain =
      PlainCopySeconds(pc, sd, std::wstring(1, static_cast<wchar_t>(letter)) + L":\\PLAIN");

  std::printf("listed %u\n", static_cast<unsigned>(listed));
  std::printf("copied %d\n", copied);
  std::printf("result %u\n", static_cast<unsigned>(result));
  std::printf("tags_first_seconds %.3f\n", tags[0]);
  std::printf("tags_seconds %.3f\n", tags[1]);
  std::printf("charge_seconds %.3f\n", run);
  std::printf("plain_copy_seconds %.3f\n", plain);
  return result == CHARGE_RESULT_SUCCESS ? 0 : 1;
}
