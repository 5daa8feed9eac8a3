// Starting the core and the music manager; see ProgramStart.h.
#include "ProgramStart.h"

#include "ChargeKind.h"
#include "Folders.h"
#include "Handle.h"
#include "Log.h"

#include <vector>

namespace {

unsigned WindowNumber(HWND window) {
  // Window handles carry 32 significant bits on both architectures.
  return static_cast<unsigned>(reinterpret_cast<UINT_PTR>(window));
}

std::vector<char> Writable(const std::string& text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.resize(text.size() + MAX_PATH, '\0');
  return buffer;
}

// The program part of a command line, without its quotes.
std::string ProgramOfCommandLine(const std::string& command_line) {
  std::vector<char> buffer = Writable(command_line);
  PathRemoveArgsA(buffer.data());
  PathUnquoteSpacesA(buffer.data());
  return buffer.data();
}

}  // namespace

std::string BuildCoreArguments(HWND notify, char drive, uint32_t kinds) {
  std::string arguments =
      FormatString(" /%s %c /%s %08X /%s", "d", drive, "w", WindowNumber(notify), "p");
  for (const ChargeKindWord* w = ChargeKindWords(); w->word; ++w) {
    if (kinds & w->kind) {
      arguments += ' ';
      arguments += w->word;
    }
  }
  return arguments;
}

std::string BuildMusicArguments(HWND notify, char drive, bool setting_mode) {
  return FormatString(" /%s %c /%s %08X /%s %s", "d", drive, "w", WindowNumber(notify), "m",
                      setting_mode ? "setting" : "manual");
}

std::string BuildCommandLine(const std::string& program_path, const std::string& arguments) {
  // Quoted, so that a folder with a blank cannot start another program.
  if (program_path.empty()) return arguments;
  return "\"" + program_path + "\"" + arguments;
}

std::string GetCommandLineFolder(const std::string& command_line) {
  std::vector<char> buffer = Writable(ProgramOfCommandLine(command_line));
  PathRemoveFileSpecA(buffer.data());
  return buffer.data();
}

bool StartCore(HWND notify, char drive, uint32_t kinds) {
  const std::string arguments = BuildCoreArguments(notify, drive, kinds);
  const std::string command_line = BuildCommandLine(GetInstallProgramPath(kInstallCore), arguments);
  OV_LOG(kLogInfo, "チャージ要求 TYPE:0x%08X", static_cast<unsigned>(kinds));
  if (StartProgram(command_line, SW_SHOWNORMAL)) return true;
  OV_LOG(kLogError, "Core実行失敗 ERR:0x%08X", static_cast<unsigned>(GetLastError()));
  OV_LOG(kLogTrace, "%s", arguments.c_str());
  return false;
}

bool StartCoreAll(HWND notify, char drive) { return StartCore(notify, drive, CHARGE_KIND_ALL); }

bool StartMusic(HWND notify, char drive, bool setting_mode) {
  const std::string arguments = BuildMusicArguments(notify, drive, setting_mode);
  const std::string command_line =
      BuildCommandLine(GetInstallProgramPath(kInstallMusic), arguments);
  if (StartProgram(command_line, SW_SHOWNORMAL)) return true;
  OV_LOG(kLogError, "Music実行失敗 ERR:0x%08X", static_cast<unsigned>(GetLastError()));
  OV_LOG(kLogTrace, "%s", arguments.c_str());
  return false;
}

bool StartProgram(const std::string& command_line, int show, CHandle* process) {
  if (StartProcess(command_line, show, process)) return true;
  return ShellExecuteProgram(command_line, show, process);
}

bool StartProcess(const std::string& command_line, int show, CHandle* process) {
  const std::string folder = GetCommandLineFolder(command_line);
  std::vector<char> line(command_line.begin(), command_line.end());
  line.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    return false;
  }
  const CHandle thread(info.hThread);
  CHandle started(info.hProcess);
  if (process) *process = std::move(started);
  return true;
}

bool ShellExecuteProgram(const std::string& command_line, int show, CHandle* process) {
  // The shell takes the program and its arguments apart; a whole command
  // line as the file name names no file.
  const std::string program = ProgramOfCommandLine(command_line);
  const char* arguments = PathGetArgsA(command_line.c_str());
  const std::string folder = GetCommandLineFolder(command_line);
  SHELLEXECUTEINFOA info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.hwnd = GetDesktopWindow();
  info.lpVerb = "open";
  info.lpFile = program.c_str();
  info.lpParameters = arguments && arguments[0] ? arguments : nullptr;
  info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
  info.nShow = show;
  if (!ShellExecuteExA(&info)) return false;
  CHandle started(info.hProcess);
  if (process) *process = std::move(started);
  return true;
}
