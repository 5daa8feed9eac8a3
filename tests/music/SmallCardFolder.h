// A folder on the test card that holds only a few hundred kilobytes: a
// size-limited tmpfs mounted over it for as long as the object lives, so a
// copy into it runs out of space for real (ERROR_DISK_FULL). Mounting needs
// root on the Linux side; the shell and mount are started as Unix programs
// through Wine, which starts them without a handle to wait on, so each step
// writes a status file whose arrival is waited for.
#pragma once

#include <string>

namespace musictest {

class CSmallCardFolder final {
 public:
  // Mounts `kilobytes` of tmpfs over `folder` (made first when missing).
  CSmallCardFolder(const std::wstring& folder, int kilobytes);
  // Unmounts (lazily: a shell folder may still hold it open).
  ~CSmallCardFolder();
  CSmallCardFolder(const CSmallCardFolder&) = delete;
  CSmallCardFolder& operator=(const CSmallCardFolder&) = delete;

  bool Mounted() const { return _mounted; }
  // Why it is not mounted, for the skip message.
  const std::string& Why() const { return _why; }

 private:
  // Runs a shell script as a Unix program; its exit status, -1 when it
  // could not be run or did not end in time (with _why set).
  int RunScript(const std::string& body);

  std::string _unix_folder;
  std::string _work;  // the scripts and their markers
  bool _mounted = false;
  std::string _why;
};

}  // namespace musictest
