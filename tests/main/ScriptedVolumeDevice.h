// A removable volume for the launcher's eject without a device: every call
// succeeds but a volume lock that is told to fail; ejects are counted.
#pragma once

#include "OvWindows.h"
#include "VolumeEject.h"

namespace maintest {

class CScriptedDevice final : public CVolumeDevice {
 public:
  bool lock_fails = false;
  int ejects = 0;
  UINT DriveType(const char*) override { return DRIVE_REMOVABLE; }
  HANDLE Open(const char*, DWORD) override { return reinterpret_cast<HANDLE>(0x4242); }
  bool Control(HANDLE, DWORD code, void*, DWORD) override {
    if (code == FSCTL_LOCK_VOLUME && lock_fails) {
      SetLastError(ERROR_ACCESS_DENIED);
      return false;
    }
    ejects += code == IOCTL_STORAGE_EJECT_MEDIA;
    return true;
  }
  bool Close(HANDLE) override { return true; }
  void Pause(DWORD) override {}
};

}  // namespace maintest
