// Starting the core and the music manager: their command lines (the
// contract with their start-up code) and the two ways of starting a
// program. Stateless; any thread.
#pragma once

#include "Handle.h"
#include "OvWindows.h"

#include <cstdint>
#include <string>

// " /d E /w 001A02B4 /p map sm": the kinds in the order of ChargeKindWords().
std::string BuildCoreArguments(HWND notify, char drive, uint32_t kinds);
// " /d E /w 001A02B4 /m setting" (or "manual").
std::string BuildMusicArguments(HWND notify, char drive, bool setting_mode);
// The program path, quoted when it is not empty, followed by the arguments.
std::string BuildCommandLine(const std::string& program_path, const std::string& arguments);
// The folder of the program a command line starts (the shell's rules).
std::string GetCommandLineFolder(const std::string& command_line);

// Starts the installed core for the given kinds; true when it was started.
bool StartCore(HWND notify, char drive, uint32_t kinds);
bool StartCoreAll(HWND notify, char drive);
// Starts the installed music manager in its settings (true) or manual mode.
bool StartMusic(HWND notify, char drive, bool setting_mode);

// As a process of its own and, failing that, through the shell. With
// process set, *process takes the started process (the shell may give none).
bool StartProgram(const std::string& command_line, int show, CHandle* process = nullptr);
bool StartProcess(const std::string& command_line, int show, CHandle* process);
bool ShellExecuteProgram(const std::string& command_line, int show, CHandle* process);
