// Shared helpers of the test executables: a temporary folder per test, a
// data root of the test's own, a simulated SD card on a removable drive
// letter, and starting a second program and waiting for it.
#pragma once

#include "Clock.h"
#include "OvWindows.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ovtest {

// Names the cases of a TEST_P table by their `name` field.
struct CaseName {
  template <typename T>
  std::string operator()(const ::testing::TestParamInfo<T>& p) const {
    return p.param.name;
  }
};

// A fresh folder under the temporary folder, removed with its contents.
class CTempDir final {
 public:
  CTempDir();
  ~CTempDir();
  CTempDir(const CTempDir&) = delete;
  CTempDir& operator=(const CTempDir&) = delete;

  // The folder, ending in a backslash.
  const std::string& Path() const { return _path; }
  std::string File(const std::string& name) const { return _path + name; }

 private:
  std::string _path;
};

// Points the data root (and the download folder) of this process and of the
// programs it starts at a temporary folder, for the life of the object.
class CScopedDataRoot final {
 public:
  CScopedDataRoot();
  ~CScopedDataRoot();
  CScopedDataRoot(const CScopedDataRoot&) = delete;
  CScopedDataRoot& operator=(const CScopedDataRoot&) = delete;

  const std::string& Root() const { return _dir.Path(); }

 private:
  CTempDir _dir;
};

// Sends this process's log to a file of the test's own for the life of the
// object, so a test can look for the lines a failure must leave.
class CLogCapture final {
 public:
  // with_trace: trace lines too, as OVLOG.ini [Log] Recover would have them.
  explicit CLogCapture(bool with_trace = false);
  ~CLogCapture();
  CLogCapture(const CLogCapture&) = delete;
  CLogCapture& operator=(const CLogCapture&) = delete;

  std::string Text() const;
  bool Contains(const std::string& text) const { return Text().find(text) != std::string::npos; }
  // The messages of the lines of one kind mark ("!!" errors, ".." info).
  std::vector<std::string> Messages(const std::string& mark) const;
  std::vector<std::string> Errors() const { return Messages("!!"); }
  // Forgets what was logged so far.
  void Clear();
  const std::string& Path() const { return _path; }

 private:
  CTempDir _dir;
  std::string _path;
};

// A removable drive of the prefix (set up by tools/test), held by this
// process alone and emptied on acquisition. While it is held, the card
// search of this process (and of programs it starts) looks at it alone
// (OV_CARD_DRIVES). Several tests can run in
// parallel; each gets its own letter, waiting when all are taken.
class CTestCard final {
 public:
  CTestCard();
  ~CTestCard();
  CTestCard(const CTestCard&) = delete;
  CTestCard& operator=(const CTestCard&) = delete;

  bool IsValid() const { return _letter != 0; }
  char Letter() const { return _letter; }
  // "E:\"
  std::string Root() const;
  std::string Path(const std::string& relative) const { return Root() + relative; }
  // Removes everything on the card but the label and serial files, and
  // puts those back when a test (a card clear) has removed them.
  void Empty();

 private:
  char _letter = 0;
  HANDLE _mutex = nullptr;
  std::string _label;  // the volume files of the drive as taken
  std::string _serial;
};

// Letters of the prefix's removable drives.
std::string RemovableDriveLetters();

bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool ReadFileBytes(const std::string& path, std::string* bytes);
std::string ReadFileOrEmpty(const std::string& path);

struct ProcessResult {
  bool started = false;
  bool finished = false;
  DWORD exit_code = 0;
};
// Unpacks one whole gzip member with zlib's inflate, independently of the
// system's gzip wrapper; false on any error or when bytes follow the member.
bool Gunzip(const std::string& packed, std::string* out);

// Starts a program and waits up to timeout_ms for it to end.
ProcessResult RunProcess(const std::string& command_line, DWORD timeout_ms);

// Makes `link` a folder link (a host symbolic link) to `target`, as a
// card's file system can hold one. False when not running under Wine.
bool MakeFolderLink(const std::string& link, const std::string& target);
// Removes such a link (not its target). Call it while the target still
// exists: Wine neither lists nor reaches a dangling link.
bool RemoveFolderLink(const std::string& link);

// The folder of the running test executable, ending in a backslash.
std::string ExecutableFolder();

// Milliseconds since it was made, on the foundation's clock. Under Wine
// GetTickCount reads a tick the Wine server keeps up to date: on a loaded
// machine it can stand still for a while, so a wait of 100 ms measured with
// it may read as 0. Tests that check a wait lasted long enough use this.
class CStopwatch {
 public:
  CStopwatch() : _start(NowMs()) {}
  uint64_t Ms() const { return static_cast<uint64_t>(NowMs() - _start); }

 private:
  double _start;
};

}  // namespace ovtest
