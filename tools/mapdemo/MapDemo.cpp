// OvMapDemo: a map charge against the stand-in with a data set that lies in
// a folder of this machine (as bench/OvTransferBench prepare writes one:
// kind 2, detail 1, version 9.000001, its image "DATA.CNF" and its pieces).
//   serve <folder> <connection file> [update]: offers the data set in a
//     namespace of the stand-in of its own (the download list, the image's
//     address, the files under /mapfiles/), writes a connection file that
//     sends every connection there, and prints "base <address of the
//     folder>". With "update" the list offers it as a marked update of the
//     map set (kind 0, detail 0), which the charge asks the user about
//     before it downloads (tools/run's launcher run).
//   run <drive letter>: runs one map charge in this process against the
//     connection file of OV_CONNECTION_INFO, answers yes to its questions,
//     and prints "charge <ms>", "scan <ms>" (the card scan),
//     "before-download <ms>" (from there to the data download), "download
//     <ms>", "transfer <ms>" and "result <error word>"; exits with 0 when
//     the charge succeeded.
//   steps <base address> <piece> <folder> [count]: what the download does
//     around each piece, one step at a time, count times (200): fetching the
//     piece (its path below the base address) through a bare WinHTTP
//     session of its own, through one kept session, as a POST, through our
//     client made anew and kept; a log line, a progress block write, a
//     download-management record write, a thread started and ended, the
//     file checks. Prints "step <name> <microseconds per time>"; <folder>
//     is a folder of Windows (its files are left there).
// The <folder> of serve is the folder's path on this machine ("/...");
// under Wine it is reached through Z:.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <process.h>
#include <string>
#include <vector>

#include "BareWinHttp.h"
#include "BenchTiming.h"
#include "ChargeKind.h"
#include "CoreMessages.h"
#include "Folders.h"
#include "CoreShareMem.h"
#include "Handle.h"
#include "HttpExchange.h"
#include "Log.h"
#include "OstrovelleLite/NPCrcCalc.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "OvWindows.h"
#include "StandIn.h"
#include "StringUtil.h"
#include "TestSupport.h"
#include "WinHttpWrapper.h"
#include "files/CoreDownloadManage.h"
#include "map/MapCharge.h"
#include "map/MapChargeProgress.h"
#include "util/CoreFileUtil.h"

namespace {

const char kSet[] = "02/01/9.000001/";

// Upper-case hexadecimal, as the stand-in's *_hex fields take bytes.
std::string Hex(const std::string& bytes) {
  std::string out;
  for (const char c : bytes) out += FormatString("%02X", static_cast<unsigned char>(c));
  return out;
}

std::string WindowsPath(const std::string& host_path) {
  std::string path = "Z:" + host_path;
  ReplaceAll(path, "/", "\\");
  return path;
}

int Serve(const std::string& folder, const std::string& connection_file, bool map_update) {
  const ovtest::CStandIn standin;
  if (!standin.IsRunning()) {
    fprintf(stderr, "the stand-in service is not running\n");
    return 1;
  }
  std::string set = kSet;
  ReplaceAll(set, "/", "\\");
  const uint64_t size = GetFolderSize(ToWide(WindowsPath(folder) + "\\" + set));
  if (size == 0) {
    fprintf(stderr, "no data set under %s\n", folder.c_str());
    return 1;
  }
  // The files stay where they are: the image's address names them, the
  // list only the data set's kind and version.
  const std::string list = FormatString(map_update ? "00,00,00,9.000001,2012,%llu,1,0,0,0,,\r\n"
                                                   : "00,02,01,9.000001,2012,%llu,0,0,0,0,,\r\n",
                                        static_cast<unsigned long long>(size));
  const std::string base = standin.Url("/mapfiles/");
  const bool set_up = standin.Set("/pcapp/DownloadListLiteAPI", "list_hex=" + Hex(list)) &&
                      standin.Set("/pcapp/GetConfUrlLiteAPI", "url=" + base + kSet + "DATA.CNF") &&
                      standin.Set("/mapfiles/", "root=" + folder) &&
                      ovtest::WriteFileBytes(connection_file, standin.ConnectionInfo());
  if (!set_up) {
    fprintf(stderr, "the stand-in refused the data set\n");
    return 1;
  }
  printf("base %s\n", base.c_str());
  return 0;
}

// What the charge reported, with the times of its phases.
struct Watch {
  double start = 0;
  double scan_start = 0;
  double scan_end = 0;
  double download_start = 0;
  double download_end = 0;
  double transfer_start = 0;
  double transfer_end = 0;
  WPARAM result = 0;
  bool finished = false;
};

Watch g_watch;

LRESULT CALLBACK WatchProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  const double now = NowMs();
  if (message == RegisterOvMessage(kMsgMapProgressStart)) {
    // The download phase starts twice: the card checks, then the data.
    if (wparam == 1) g_watch.download_start = now;
    if (wparam == 2 && g_watch.transfer_start == 0) g_watch.transfer_start = now;
    if (wparam == 3) g_watch.scan_start = now;
  } else if (message == RegisterOvMessage(kMsgMapProgressEnd)) {
    if (wparam == 1) g_watch.download_end = now;
    if (wparam == 3) g_watch.scan_end = now;
    if (wparam == 2) g_watch.transfer_end = now;
  } else if (message == RegisterOvMessage(kMsgNotifyError)) {
    g_watch.result = wparam;
  } else if (message == RegisterOvMessage(kMsgNotifyFinish)) {
    g_watch.finished = true;
  } else if (message == RegisterOvMessage(kMsgMapLicense) ||
             message == RegisterOvMessage(kMsgNoSendProbe)) {
    const CMapQuestions::Question question = message == RegisterOvMessage(kMsgNoSendProbe)
                                                 ? CMapQuestions::kQuestionProbe
                                             : wparam == 3 ? CMapQuestions::kQuestionDownload
                                                           : CMapQuestions::kQuestionCardClear;
    const CHandle event(
        OpenEventA(EVENT_MODIFY_STATE, FALSE, CMapQuestions::EventName(question, true).c_str()));
    if (event) SetEvent(event.Get());
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

int Run(char drive) {
  // The charge logs as it does in the core: to the program's log in the
  // data root's log folder (trace lines with OVLOG.ini beside the program).
  CBroxLogWrapper(__FILE__, __LINE__).Open(nullptr, 4096);
  // A saved line speed: the charge asks the server's threshold only.
  const COstrovelleConfig config;
  WritePrivateProfileStringA("Map", "SpeedOfLine", "100000000", config.GetIniPath().c_str());
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = WatchProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "OvMapDemo";
  RegisterClassExA(&wc);
  const HWND window = CreateWindowExA(0, wc.lpszClassName, "OvMapDemo", WS_OVERLAPPED, 0, 0, 10, 10,
                                      nullptr, nullptr, wc.hInstance, nullptr);
  if (!window) return 1;
  CMapCharge charge;
  charge.SetDriveLetter(drive);
  charge.SetTargetWindow(window);
  charge.SetPhasePause(0);
  g_watch.start = NowMs();
  if (!charge.Start()) return 1;
  MSG msg;
  while (!g_watch.finished && GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  const double end = NowMs();
  printf("charge %.0f\n", end - g_watch.start);
  // The card scan, then everything up to the data download (link file,
  // threshold, list, questions), the download with the completion notices.
  printf("scan %.0f\n", g_watch.scan_end - g_watch.scan_start);
  printf("before-download %.0f\n", g_watch.download_start - g_watch.scan_end);
  printf("download %.0f\n", g_watch.download_end - g_watch.download_start);
  printf("transfer %.0f\n", g_watch.transfer_end - g_watch.transfer_start);
  printf("result 0x%08X\n", static_cast<unsigned>(g_watch.result));
  DestroyWindow(window);
  return g_watch.result == ChargeErrorWord(CHARGE_KIND_MAP, 0) ? 0 : 1;
}

// Our client's exchange as the download makes it: a POST with an empty
// form body into the file, each written run handed to `tap`, waited for
// beside an abort event.
bool ClientFetch(CWinHttpWrapper& http, const std::string& url, const std::string& file,
                 HANDLE abort, CWinHttpWrapper::FileTap tap) {
  DeleteFileA(file.c_str());
  if (!http.SetRequest(url.c_str(), 0, file.c_str(), false)) return false;
  http.SetFileTap(std::move(tap));
  if (!http.OpenRequest(kHttpPost, L"OvMapDemo/1.0", L"")) return false;
  const HANDLE thread = http.Upload("", 0, "application/x-www-form-urlencoded", nullptr, nullptr);
  HttpExchange outcome;
  WaitForExchange(http, thread, abort, 100000, &outcome);
  return outcome.stage == HttpExchange::kDone && outcome.result == 0;
}

unsigned __stdcall NoWork(void*) { return 0; }

int Steps(const std::string& base, const std::string& piece, const std::string& folder, int count) {
  const std::string url = base + piece;
  const std::string file = PathAddBackslash(folder) + "piece.bin";
  CreateDirectories(PathAddBackslash(folder));
  const auto time = [count](const char* name, const std::function<bool()>& step) {
    const double start = NowMs();
    for (int i = 0; i < count; ++i) {
      if (!step()) {
        printf("step %s failed\n", name);
        return;
      }
    }
    printf("step %s %.0f\n", name, (NowMs() - start) * 1000.0 / count);
    fflush(stdout);
  };
  const BareConnection kept(url, L"OvMapDemo/1.0");
  const std::wstring path = kept.path;
  time("bare-session-per-piece",
       [&] { return BareFetch(BareConnection(url, L"OvMapDemo/1.0"), path, false, file); });
  time("bare-one-session", [&] { return BareFetch(kept, path, false, file); });
  time("bare-one-session-post", [&] { return BareFetch(kept, path, true, file); });
  const CHandle abort(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  // What the charge's tap would do with a run, kept cheap.
  uint32_t sum = 0;
  const auto summed = [&sum](const char* data, DWORD size) { sum += data[0] + size; };
  time("client-per-piece", [&] {
    CWinHttpWrapper http;
    return ClientFetch(http, url, file, abort.Get(), summed);
  });
  {
    CWinHttpWrapper http;
    time("client-kept", [&] { return ClientFetch(http, url, file, abort.Get(), summed); });
    http.KeepSession(true);
    time("client-kept-session", [&] { return ClientFetch(http, url, file, abort.Get(), summed); });
  }
  {
    CWinHttpWrapper http;
    http.KeepSession(true);
    NPCrcCalc crc;
    time("client-kept-session-crc", [&] {
      return ClientFetch(http, url, file, abort.Get(),
                         [&crc](const char* data, DWORD size) { crc.Update(data, size); });
    });
  }
  {
    const std::vector<char> buffer(1 << 20, 'x');
    NPCrcCalc crc;
    time("crc16-of-1MiB", [&] {
      crc.Update(buffer.data(), buffer.size());
      return true;
    });
  }
  time("thread-start-end", [] {
    const uintptr_t thread = _beginthreadex(nullptr, 0, &NoWork, nullptr, 0, nullptr);
    if (thread == 0) return false;
    const CHandle owned(reinterpret_cast<HANDLE>(thread));
    return WaitForSingleObject(owned.Get(), INFINITE) == WAIT_OBJECT_0;
  });
  time("file-checks", [&] {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data);
    DeleteFileA((file + ".none").c_str());
    return CreateDirectories(PathAddBackslash(folder));
  });
  time("abort-asked", [&] { return WaitForSingleObject(abort.Get(), 0) == WAIT_TIMEOUT; });
  time("log-line-no-path", [] {
    OV_LOG(kLogInfo, "CDownloadManageFile::SetDLManage - Start");
    return true;
  });
  CBroxLogWrapper(__FILE__, __LINE__).Open((PathAddBackslash(folder) + "steps.log").c_str(), 4096);
  time("log-line", [] {
    OV_LOG(kLogInfo, "CDownloadManageFile::SetDLManage - Start");
    return true;
  });
  time("log-trace-line-off", [] {
    OV_LOG(kLogTrace, "CDownloadDataFromList::_IsValidateFile - Start");
    return true;
  });
  logtest::SetTraceEnabled(true);
  time("log-trace-line-on", [] {
    OV_LOG(kLogTrace, "CDownloadDataFromList::_IsValidateFile - Start");
    return true;
  });
  logtest::SetTraceEnabled(false);
  core::CBlockShareMem block;
  block.Open(MapProgressBlockName(kMapProgressDownload).c_str(), true, 32, true);
  CMapProgressWriter writer(kMapProgressDownload);
  uint64_t done = 0;
  time("progress-block", [&] {
    done += 1000;
    return writer.Write(MapProgressWords::Make(1, 1000, 1000, done, 1 << 30)) == 0;
  });
  core::CDownloadManageFile manage(PathAddBackslash(folder));
  int percent = 0;
  time("manage-record", [&] {
    return manage.SetDLManage(2, 1, "9.000001", static_cast<uint8_t>(++percent % 100), 0,
                              PathAddBackslash(folder) + "DATA.CNF");
  });
  DeleteFileA(file.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "serve" && argc == 4) return Serve(argv[2], argv[3], false);
  if (mode == "serve" && argc == 5 && std::string(argv[4]) == "update") {
    return Serve(argv[2], argv[3], true);
  }
  if (mode == "run" && argc == 3) return Run(argv[2][0]);
  if (mode == "steps" && (argc == 5 || argc == 6)) {
    return Steps(argv[2], argv[3], argv[4], argc == 6 ? atoi(argv[5]) : 200);
  }
  fprintf(stderr,
          "usage: OvMapDemo serve <folder> <connection file> [update]\n"
          "       OvMapDemo run <drive letter>\n"
          "       OvMapDemo steps <base address> <piece> <folder> [count]\n");
  return 2;
}
