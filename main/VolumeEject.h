// The card's volume: eject it so that the user can take the card out, test
// that it can be written, read its free space. Blocking calls for the
// launcher's thread (a lock can take 20 tries half a second apart).
//
// The device calls go through a replaceable CVolumeDevice: under a system
// that cannot dismount or eject (Wine answers 50), tests still drive a
// successful eject, failing locks and a failing close through it.
#pragma once

#include <cstdint>

#include "OvWindows.h"

class CVolumeDevice {
 public:
  virtual ~CVolumeDevice() = default;
  virtual UINT DriveType(const char* root);
  virtual HANDLE Open(const char* path, DWORD access);
  virtual bool Control(HANDLE volume, DWORD code, void* in, DWORD in_size);
  virtual bool Close(HANDLE volume);
  // The pause after a failed lock.
  virtual void Pause(DWORD ms);
};

// Makes `device` the one every volume call uses (nullptr: the system's).
// Returns the one used before. Not for use while a volume call runs.
CVolumeDevice* SetVolumeDevice(CVolumeDevice* device);

// 1 when the volume was locked and dismounted and its handle closed, else 0.
int EjectVolume(char drive);

// The volume of a removable (read and write) or CD-ROM (read) drive;
// INVALID_HANDLE_VALUE for any other drive type or when it cannot be opened.
HANDLE OpenVolume(char drive);
bool CloseVolume(HANDLE volume);
bool LockVolume(HANDLE volume);
bool UnlockVolume(HANDLE volume);
bool DismountVolume(HANDLE volume);
bool EjectMedia(HANDLE volume);
bool SetMediaRemoval(HANDLE volume, bool prevent);

// True when a file can be created on the drive's root (it is removed again).
bool CheckDriveWritable(char drive);
// Bytes free for the caller on the drive; 0 on failure.
uint64_t GetDriveFreeSpace(char drive);
