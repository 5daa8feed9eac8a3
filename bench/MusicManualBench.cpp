// The manual window's copy worker against a plain copy: generates a PC
// folder of tagged MP3 files (once; kept for later runs), copies them onto
// the card through the copy worker (".TMP" names, progress, the card checks)
// and lists them through a listing worker, then copies the same files with
// the platform's plain copy. bench/music_manual_bench.sh runs it and copies
// the same files with cp for the comparison.
//
// Usage: OvMusicManualBench.exe work_folder card_letter [files] [bytes]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Folders.h"
#include "MusicFileThread.h"
#include "MusicFileThreadRequest.h"
#include "MusicFileUtil.h"
#include "MusicTestSupport.h"
#include "MusicTestWindow.h"
#include "StringUtil.h"
#include "WideUtil.h"

namespace {

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

// The rest of a song's bytes as zeros.
bool Extend(const std::wstring& path, int bytes) {
  const HANDLE file =
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER end;
  end.QuadPart = bytes;
  const bool ok = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  CloseHandle(file);
  return ok;
}

std::vector<std::wstring> MakePcFolder(const std::wstring& pc, int files, int bytes) {
  std::vector<std::wstring> names;
  const std::wstring marker = pc + ToWide(FormatString("\\made_%d_%d", files, bytes));
  const bool made = musictest::FileExistsW(marker);
  for (int i = 0; i < files; ++i) {
    names.push_back(ToWide(FormatString("%05d.mp3", i)));
    if (made) continue;
    const std::wstring path = pc + L"\\" + names.back();
    if (!musictest::WriteFileW(path, musictest::MakeMp3(L"Bench", i % 100, 4)) ||
        !Extend(path, bytes)) {
      return {};
    }
  }
  if (!made) musictest::WriteFileW(marker, "");
  return names;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: OvMusicManualBench work_folder card_letter [files] [bytes]\n");
    return 2;
  }
  const std::wstring work = ToWide(argv[1]);
  const wchar_t letter = static_cast<wchar_t>(argv[2][0]);
  const int files = argc > 3 ? std::atoi(argv[3]) : 1000;
  const int bytes = argc > 4 ? std::atoi(argv[4]) : 400000;
  const std::wstring pc = work + L"\\pc";
  const std::wstring sd = libmusic::GetMusicFolderPathW(letter) + L"\\Bench";
  PathCreateDirectory(pc);
  const std::vector<std::wstring> names = MakePcFolder(pc, files, bytes);
  if (names.empty()) return 1;
  DeleteFolderTreeW(sd.c_str(), true);
  PathCreateDirectory(sd);

  musicmanualtest::CResultWindow window;
  CMusicFileThread copier("MusicFile");
  CMusicFileThread lister("SDFileList");
  copier.SetTargetWindow(window.Handle());
  lister.SetTargetWindow(window.Handle());

  const LARGE_INTEGER copy_start = Now();
  CreateCopyFilesRequest(pc, sd, names, &copier);
  const bool copied = window.WaitResult(kMusicResultCopyFiles, 3600000);
  const LARGE_INTEGER copy_end = Now();
  const auto copy_results = window.Results(kMusicResultCopyFiles);
  const bool copy_ok = copied && !copy_results.empty() && copy_results.back().request->result;
  const size_t progress_messages = window.Percentages().size();

  window.Clear();
  const LARGE_INTEGER list_start = Now();
  CreateGetFileListRequest(sd, &lister, kMusicTargetSD);
  size_t listed = 0;
  window.PumpUntil(
      [&] {
        const auto lists = window.Results(kMusicResultFileList);
        if (lists.empty()) return false;
        const auto* last = musicmanualtest::As<CMusicFileThreadRequestGetFileList>(lists.back());
        return last && last->last_batch;
      },
      3600000);
  const LARGE_INTEGER list_end = Now();
  for (const auto& posted : window.Results(kMusicResultFileList)) {
    listed += musicmanualtest::As<CMusicFileThreadRequestGetFileList>(posted)->files.Size();
  }

  // The platform's plain copy of the same files, into a folder of its own.
  const std::wstring plain = libmusic::GetMusicFolderPathW(letter) + L"\\Plain";
  DeleteFolderTreeW(plain.c_str(), true);
  PathCreateDirectory(plain);
  const LARGE_INTEGER plain_start = Now();
  for (const std::wstring& name : names) {
    CopyFileW((pc + L"\\" + name).c_str(), (plain + L"\\" + name).c_str(), FALSE);
  }
  const LARGE_INTEGER plain_end = Now();
  DeleteFolderTreeW(plain.c_str(), true);

  std::printf("files %d bytes %d\n", files, bytes);
  std::printf("worker_copy %.3f ok %d progress_messages %u\n", Seconds(copy_start, copy_end),
              copy_ok ? 1 : 0, static_cast<unsigned>(progress_messages));
  std::printf("worker_list %.3f listed %u\n", Seconds(list_start, list_end),
              static_cast<unsigned>(listed));
  std::printf("plain_copy %.3f\n", Seconds(plain_start, plain_end));
  return copy_ok ? 0 : 1;
}
