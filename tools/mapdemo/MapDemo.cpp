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
//     and prints "charge <ms>", "download <ms>", "transfer <ms>" and
//     "result <error word>"; exits with 0 when the charge succeeded.
// <folder> is the folder's path on this machine ("/..."); under Wine it is
// reached through Z:.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ChargeKind.h"
#include "CoreMessages.h"
#include "Folders.h"
#include "Handle.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "OvWindows.h"
#include "StandIn.h"
#include "StringUtil.h"
#include "TestSupport.h"
#include "map/MapCharge.h"
#include "util/CoreFileUtil.h"

namespace {

const char kSet[] = "02/01/9.000001/";

double NowMs() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

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
  } else if (message == RegisterOvMessage(kMsgMapProgressEnd)) {
    if (wparam == 1) g_watch.download_end = now;
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
  printf("download %.0f\n", g_watch.download_end - g_watch.download_start);
  printf("transfer %.0f\n", g_watch.transfer_end - g_watch.transfer_start);
  printf("result 0x%08X\n", static_cast<unsigned>(g_watch.result));
  DestroyWindow(window);
  return g_watch.result == ChargeErrorWord(CHARGE_KIND_MAP, 0) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "serve" && argc == 4) return Serve(argv[2], argv[3], false);
  if (mode == "serve" && argc == 5 && std::string(argv[4]) == "update") {
    return Serve(argv[2], argv[3], true);
  }
  if (mode == "run" && argc == 3) return Run(argv[2][0]);
  fprintf(stderr,
          "usage: OvMapDemo serve <folder> <connection file> [update]\n"
          "       OvMapDemo run <drive letter>\n");
  return 2;
}
