// Volume eject and drive checks; see VolumeEject.h.
#include "VolumeEject.h"

#include "Handle.h"
#include "Log.h"
#include "StringUtil.h"

namespace {

constexpr int kLockTries = 20;
constexpr DWORD kLockPauseMs = 500;

CVolumeDevice g_system_device;
CVolumeDevice* g_device = &g_system_device;

// One device call; a failure logs its line with the system's error.
bool Control(HANDLE volume, DWORD code, const char* name, void* in = nullptr, DWORD in_size = 0) {
  if (g_device->Control(volume, code, in, in_size)) return true;
  const DWORD error = GetLastError();
  OV_LOG(1, "DeviceIoControl - %s ERR:0x%08X", name, static_cast<unsigned>(error));
  SetLastError(error);
  return false;
}

bool IsDriveLetter(char drive) {
  return (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
}

}  // namespace

UINT CVolumeDevice::DriveType(const char* root) { return GetDriveTypeA(root); }

HANDLE CVolumeDevice::Open(const char* path, DWORD access) {
  return CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                     nullptr);
}

bool CVolumeDevice::Control(HANDLE volume, DWORD code, void* in, DWORD in_size) {
  DWORD returned = 0;
  return DeviceIoControl(volume, code, in, in_size, nullptr, 0, &returned, nullptr) != FALSE;
}

bool CVolumeDevice::Close(HANDLE volume) { return CloseHandle(volume) != FALSE; }

void CVolumeDevice::Pause(DWORD ms) { Sleep(ms); }

CVolumeDevice* SetVolumeDevice(CVolumeDevice* device) {
  CVolumeDevice* const previous = g_device == &g_system_device ? nullptr : g_device;
  g_device = device != nullptr ? device : &g_system_device;
  return previous;
}

HANDLE OpenVolume(char drive) {
  if (!IsDriveLetter(drive)) return INVALID_HANDLE_VALUE;
  const std::string root = FormatString("%c:\\", drive);
  const UINT type = g_device->DriveType(root.c_str());
  DWORD access = 0;
  if (type == DRIVE_REMOVABLE) {
    access = GENERIC_READ | GENERIC_WRITE;
  } else if (type == DRIVE_CDROM) {
    access = GENERIC_READ;
  } else {
    OV_LOG(1, "EjectVolume ボリューム種別NG (%d)", static_cast<int>(type));
    return INVALID_HANDLE_VALUE;
  }
  const std::string path = FormatString("\\\\.\\%c:", drive);
  const HANDLE volume = g_device->Open(path.c_str(), access);
  if (volume == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    OV_LOG(1, "EjectVolume CreatFile失敗 ERR:0x%08X", static_cast<unsigned>(error));
    SetLastError(error);
  }
  return volume;
}

bool CloseVolume(HANDLE volume) { return g_device->Close(volume); }

bool UnlockVolume(HANDLE volume) {
  return Control(volume, FSCTL_UNLOCK_VOLUME, "FSCTL_UNLOCK_VOLUME");
}

bool LockVolume(HANDLE volume) {
  UnlockVolume(volume);  // a volume left locked by an earlier attempt
  for (int attempt = 1; attempt <= kLockTries; ++attempt) {
    if (g_device->Control(volume, FSCTL_LOCK_VOLUME, nullptr, 0)) return true;
    const DWORD error = GetLastError();
    g_device->Pause(kLockPauseMs);
    if (attempt == kLockTries) {
      OV_LOG(1, "DeviceIoControl - FSCTL_LOCK_VOLUME ERR:0x%08X", static_cast<unsigned>(error));
      SetLastError(error);
    }
  }
  return false;
}

bool DismountVolume(HANDLE volume) {
  return Control(volume, FSCTL_DISMOUNT_VOLUME, "FSCTL_DISMOUNT_VOLUME");
}

bool EjectMedia(HANDLE volume) {
  return Control(volume, IOCTL_STORAGE_EJECT_MEDIA, "IOCTL_STORAGE_EJECT_MEDIA");
}

bool SetMediaRemoval(HANDLE volume, bool prevent) {
  PREVENT_MEDIA_REMOVAL removal = {};
  removal.PreventMediaRemoval = prevent ? TRUE : FALSE;
  return Control(volume, IOCTL_STORAGE_MEDIA_REMOVAL, "IOCTL_STORAGE_MEDIA_REMOVAL", &removal,
                 sizeof(removal));
}

int EjectVolume(char drive) {
  const HANDLE volume = OpenVolume(drive);
  if (volume == INVALID_HANDLE_VALUE) return 0;
  const bool dismounted = LockVolume(volume) && DismountVolume(volume);
  if (dismounted) {
    // The card is already safe to take out; these only tell the reader.
    EjectMedia(volume);
    SetMediaRemoval(volume, false);
  }
  UnlockVolume(volume);
  const bool closed = CloseVolume(volume);
  return dismounted && closed ? 1 : 0;
}

bool CheckDriveWritable(char drive) {
  if (!IsDriveLetter(drive)) return false;
  const std::string path = FormatString("%c:\\WritableCheck.test", drive);
  DeleteFileA(path.c_str());
  CScopedHandle<FileHandleTraits> file(CreateFileA(
      path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr));
  if (!file) return false;
  file.Reset();
  DeleteFileA(path.c_str());
  return true;
}

uint64_t GetDriveFreeSpace(char drive) {
  if (!IsDriveLetter(drive)) return 0;
  const std::string root = FormatString("%c:\\", drive);
  ULARGE_INTEGER available = {};
  if (!GetDiskFreeSpaceExA(root.c_str(), &available, nullptr, nullptr)) return 0;
  return available.QuadPart;
}
