// Thin wrappers over the platform shell: the change-notification entries,
// which shell32 exports by ordinal only, so that a window learns when a drive
// (the SD card) arrives or leaves; and the shell's folder picker.
//
// Threads: a CWrapSHChangeNotifyRegister is loaded once and then only read;
// OnNotify runs on the thread of the window the notification was posted to.
// lib::CBrowseForFolder::Show runs the picker modally on the calling thread
// and calls the hooks there.
#pragma once

#include <string>

#include "Handle.h"
#include "OvWindows.h"

// Frees a library taken with LoadLibrary.
struct ShellModuleTraits {
  using Type = HMODULE;
  static Type Empty() { return nullptr; }
  static void Destroy(Type h) { ::FreeLibrary(h); }
};

class CWrapSHChangeNotifyRegister {
 public:
  using RegisterEntry = ULONG(WINAPI*)(HWND window, int sources, LONG events, UINT message,
                                       int count, const SHChangeNotifyEntry* entries);
  using DeregisterEntry = BOOL(WINAPI*)(ULONG id);
  using LockEntry = HANDLE(WINAPI*)(HANDLE change, DWORD process_id, PIDLIST_ABSOLUTE** items,
                                    LONG* event);
  using UnlockEntry = BOOL(WINAPI*)(HANDLE lock);

  // The four entries in shell32's ordinal order: 2, 4, 644, 645.
  struct Entries {
    RegisterEntry register_entry = nullptr;
    DeregisterEntry deregister_entry = nullptr;
    LockEntry lock_entry = nullptr;
    UnlockEntry unlock_entry = nullptr;
  };

  // Each output buffer of OnNotify holds at least this many bytes.
  static constexpr size_t kPathBufferSize = 2048;

  CWrapSHChangeNotifyRegister() = default;
  virtual ~CWrapSHChangeNotifyRegister() = default;
  CWrapSHChangeNotifyRegister(const CWrapSHChangeNotifyRegister&) = delete;
  CWrapSHChangeNotifyRegister& operator=(const CWrapSHChangeNotifyRegister&) = delete;

  // Loads the library and takes the four entries by ordinal. When the library
  // or any entry is missing, the library is freed, the wrapper is left empty
  // and false comes back. Another library may be named (a stand-in shell).
  bool Load(const char* library = "Shell32.DLL");
  bool IsLoaded() const;

  // The entries in use. Replacing them lets a caller (a test) stand in for
  // the shell, say with lock and unlock entries of its own while the real
  // register entry stays; the loaded library is kept until destruction.
  Entries GetEntries() const { return _entries; }
  void SetEntries(const Entries& entries) { _entries = entries; }

  // The platform's register and deregister calls; 0 (FALSE) with
  // ERROR_PROC_NOT_FOUND while the entry is missing.
  ULONG Register(HWND window, int sources, LONG events, UINT message, int count,
                 const SHChangeNotifyEntry* entries) const;
  BOOL Deregister(ULONG id) const;

  // Reads a posted notification (the message's wParam and lParam): stores
  // the event code in *event (when given) and the two items' paths in the ANSI
  // code page into path1 and path2 (each kPathBufferSize bytes). A path that
  // has no exact ANSI form or needs 2047 bytes or more is left empty. False,
  // with both paths empty and *event untouched, when the notification cannot
  // be locked.
  bool OnNotify(LONG* event, char* path1, char* path2, WPARAM wparam, LPARAM lparam) const;

 private:
  void Clear();

  CScopedHandle<ShellModuleTraits> _shell;
  Entries _entries;
};

namespace lib {

// The shell's folder picker, opened on an initial folder. Built from a byte
// string or a UTF-16 string; the result is held in both forms.
class CBrowseForFolder {
 public:
  CBrowseForFolder() = default;
  explicit CBrowseForFolder(const std::string& initial_folder) { SetInitialFolder(initial_folder); }
  explicit CBrowseForFolder(const std::wstring& initial_folder) {
    SetInitialFolderW(initial_folder);
  }
  virtual ~CBrowseForFolder() = default;
  CBrowseForFolder(const CBrowseForFolder&) = delete;
  CBrowseForFolder& operator=(const CBrowseForFolder&) = delete;

  void SetInitialFolder(const std::string& folder);
  void SetInitialFolderW(const std::wstring& folder);
  const std::string& GetInitialFolder() const { return _initial; }
  const std::wstring& GetInitialFolderW() const { return _initial_w; }

  // Shows the picker over owner: file-system folders only, a status text
  // line when status_text is set, and any of the platform's BIF_ flags given
  // in extra_flags. True when the user chose a folder; its path and display
  // name are then held. A chosen path without an exact ANSI form leaves the
  // narrow path empty (the wide one holds it).
  bool Show(HWND owner, const char* title, bool status_text, UINT extra_flags = 0);
  bool Show(HWND owner, const wchar_t* title, bool status_text, UINT extra_flags = 0);

  const std::string& GetPath() const { return _path; }
  const std::wstring& GetPathW() const { return _path_w; }
  const std::string& GetDisplayName() const { return _display_name; }
  const std::wstring& GetDisplayNameW() const { return _display_name_w; }

 protected:
  // The picker has opened and selected the initial folder.
  virtual void OnInitialized() {}
  // Kept for derived pickers; the picker itself never calls it.
  virtual void OnReserved() {}
  // A folder became the selection (empty paths for items outside the file
  // system); the result is the callback's answer to the picker.
  virtual int OnSelectionChanged(const std::string& path, const std::wstring& path_w) {
    (void)path;
    (void)path_w;
    return 0;
  }

  // The open picker, for the hooks (BFFM_ENABLEOK, BFFM_SETSTATUSTEXTW);
  // null before the picker has called back.
  HWND PickerWindow() const { return _picker; }

 private:
  static int CALLBACK BrowseCallbackProc(HWND window, UINT notice, LPARAM lparam, LPARAM data);
  int OnCallback(HWND window, UINT notice, LPARAM lparam);
  void SelectInitialFolder(HWND window);
  // Selects a folder by walking the picker's tree along the names it shows.
  void SelectByNames(HWND window, const std::wstring& folder);

  std::string _initial;
  std::string _path;
  std::string _display_name;
  std::wstring _initial_w;
  std::wstring _path_w;
  std::wstring _display_name_w;
  HWND _picker = nullptr;  // not owned
  bool _selection_changed = false;
  std::wstring _selected_w;  // the path the last selection notice named
};

}  // namespace lib
