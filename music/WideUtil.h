// The music manager's helpers for wide (UTF-16) paths: canonical paths,
// starting a program or opening a document, and deleting a folder tree.
// Stateless; any thread, except that DeleteFolderTreeW changes the process's
// current folder when it removes folders.
#pragma once

#include <string>

#include "OvWindows.h"

// The path with its "." and ".." parts resolved; the input when that fails.
std::wstring CanonicalizePathW(const std::wstring& path);

// The folder of the program a command line starts: arguments, quotes and
// the file name removed.
std::wstring GetCommandLineFolderW(const std::wstring& command_line);

// Starts the program with the arguments (which begin with a blank when
// there are any). The program is always quoted: an unquoted path with a
// blank would start whatever program its first word names. With process
// set, *process receives the process handle (the caller closes it).
bool StartProcessW(const std::wstring& program, const std::wstring& arguments, int show,
                   HANDLE* process = nullptr);

// Opens the file through the shell's "open" verb (a program runs, a document
// opens in its associated program), in the file's folder, without the
// shell's error boxes.
bool ShellExecuteProgramW(const std::wstring& file, int show, HANDLE* process = nullptr);

// Plays or opens a file. Only the shell opens it: the file is never taken
// for a command line, so "My Song.mp3" cannot start a planted "My.exe".
bool StartProgramW(const std::wstring& file, int show, HANDLE* process = nullptr);

// Deletes everything below the folder (files and sub-folders) and, with
// remove_folders, the folder itself. Folder links are neither entered nor
// removed. True only when every deletion succeeded; a folder that cannot be
// listed (a missing one too) is a failure.
bool DeleteFolderTreeW(const wchar_t* folder, bool remove_folders);
