// The child folders of a shell folder as the folder tree shows them, and a
// thread of its own that lists them, so that a folder of many thousand
// files (which the shell walks whole to find its few folders) or a walk
// down from the desktop never holds the window's thread.
//
// Threads: ListChildFolders and DescribeFolder run on any thread that has
// COM; each thread uses shell folders of its own. CFolderLister is made,
// fed, asked and destroyed by the tree's thread; its thread posts batches
// to the tree's window and touches nothing else. A batch belongs to the
// lister until the window takes it back with Take.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Handle.h"
#include "OvWindows.h"
#include "Threads.h"

namespace ui {

// One child folder as listed: what the tree needs to show its item.
struct FolderChild {
  std::vector<BYTE> id;  // relative to its parent, terminator included
  std::wstring name;     // shown
  std::wstring path;     // in the file system; empty outside it
  ULONG attributes = 0;  // SFGAO_ bits
};

// A run of one folder's children, in listing order.
struct FolderListing {
  uint32_t generation = 0;
  HTREEITEM item = nullptr;
  bool last = false;
  bool over_limit = false;  // more folders than the limit were there
  std::vector<FolderChild> children;
};

// Whether two ids of one folder name the same item.
bool SameShellId(IShellFolder* folder, LPCITEMIDLIST a, LPCITEMIDLIST b);
// A full id list's file-system path; empty outside the file system.
std::wstring ShellPathOf(LPCITEMIDLIST full);
// Learns the folders never shown (Internet, Control Panel, Printers,
// Recycle Bin, Network) once for the process; before any listing.
void LearnHiddenFolders();
// The shell folder of a full id list (the desktop for an empty one), one
// reference; null when it cannot be opened.
IShellFolder* BindFolder(IShellFolder* desktop, LPCITEMIDLIST full);
// Describes `child` of `parent` (full: from the desktop); false when the
// tree does not show it: hidden, not a folder, a file the shell shows as a
// folder, without a name, or not to be opened.
bool DescribeFolder(IShellFolder* desktop, IShellFolder* parent, LPCITEMIDLIST child,
                    LPCITEMIDLIST full, const std::wstring& parent_path, FolderChild* out);
// Lists the shown child folders of `full`, at most `limit` (over_limit set
// when there were more), in the shell's order of names; `add` takes each
// and returns false to stop.
// False when the folder cannot be listed.
bool ListChildFolders(IShellFolder* desktop, LPCITEMIDLIST full, int limit,
                      const std::function<bool(FolderChild&&)>& add, bool* over_limit);

class CFolderLister {
 public:
  // Children sent back in one posted batch.
  static constexpr size_t kBatch = 64;

  CFolderLister() = default;
  // Stops the thread and frees every batch not taken back.
  ~CFolderLister();
  CFolderLister(const CFolderLister&) = delete;
  CFolderLister& operator=(const CFolderLister&) = delete;

  // Lists the children of `full` for `item` of the tree's `generation`; the
  // batches are posted to `window` as `message` with the batch as lParam.
  // Starts the thread first; false when it cannot run.
  bool Queue(HWND window, UINT message, uint32_t generation, HTREEITEM item, LPCITEMIDLIST full,
             int limit);
  // From now on only this generation counts: older jobs are dropped and a
  // running one stops at its next child.
  void SetGeneration(uint32_t generation);
  // The batch behind a posted lParam, handed back once; null for anything
  // this lister did not post.
  std::unique_ptr<FolderListing> Take(LPARAM lparam);
  void Stop();

 private:
  struct Job {
    uint32_t generation;
    HTREEITEM item;
    std::vector<BYTE> full;
    int limit;
    HWND window;
    UINT message;
  };

  static unsigned __stdcall ThreadProc(void* self);
  unsigned Run();
  bool TakeJob(Job* job);
  void RunJob(IShellFolder* desktop, const Job& job);
  bool Post(const Job& job, std::unique_ptr<FolderListing> batch);

  CHandle _thread;
  CHandle _wake;  // manual-reset: set while jobs wait
  CHandle _stop;  // manual-reset
  std::atomic<uint32_t> _generation{0};
  lib::wfc::CCriticalSection _lock;
  std::deque<Job> _jobs;             // guarded by _lock
  std::set<FolderListing*> _posted;  // guarded by _lock: posted, not taken back
};

}  // namespace ui
