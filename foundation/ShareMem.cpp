// Named shared memory and mutexes; see ShareMem.h.
#include "ShareMem.h"

#include <cstring>
#include <new>

CFullCtrlSecrDes::CFullCtrlSecrDes() {
  if (!InitializeSecurityDescriptor(&_descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(&_descriptor, TRUE, nullptr, FALSE)) {
    _error = GetLastError();
    SetLastError(_error);
  }
}

CFullCtrlSecrAttr::CFullCtrlSecrAttr() {
  _attributes.nLength = sizeof(_attributes);
  _attributes.lpSecurityDescriptor = &_descriptor;
  _attributes.bInheritHandle = FALSE;
}

DWORD CObjGlobalName::Set(const char* name, bool global) {
  if (!name) return ERROR_INVALID_PARAMETER;
  _name.reset();
  const size_t length = strlen(name);
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[length + 8]);
  if (!buffer) return ERROR_NOT_ENOUGH_MEMORY;

  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  if (!GetVersionExA(&version)) return GetLastError();

  const bool prefix =
      global && version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5;
  if (prefix) {
    memcpy(buffer.get(), "Global\\", 7);
    memcpy(buffer.get() + 7, name, length + 1);
  } else {
    memcpy(buffer.get(), name, length + 1);
  }
  _name = std::move(buffer);
  return 0;
}

DWORD CShareMem::Open(const char* name) {
  Close();
  CObjGlobalName plain;
  const DWORD error = plain.Set(name, false);
  if (error != 0) return error;

  CHandle mapping(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, plain.Get()));
  if (!mapping) return GetLastError();
  CMappedView view(MapViewOfFile(mapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
  if (!view) return GetLastError();
  Adopt(std::move(mapping), std::move(view));
  return 0;
}

void CShareMem::Close() {
  _view.Reset();
  _mapping.Reset();
}

void CShareMem::Adopt(CHandle mapping, CMappedView view) {
  Close();
  _mapping = std::move(mapping);
  _view = std::move(view);
}

DWORD CMutexObj::Create(const char* name) {
  Close();
  CObjGlobalName global;
  const DWORD error = global.Set(name, true);
  if (error != 0) return error;

  CFullCtrlSecrAttr security;
  // An existing mutex of the name is opened by the same call.
  _mutex.Reset(CreateMutexA(security.Get(), FALSE, global.Get()));
  return _mutex ? 0 : GetLastError();
}

void CMutexObj::Close() {
  if (_mutex) ReleaseMutex(_mutex.Get());
  _mutex.Reset();
}

DWORD CBlockShareMem::Open(const char* name) {
  Close();
  const DWORD error = _memory.Open(name);
  if (error != 0) return error;
  return AttachMutex(name);
}

DWORD CBlockShareMem::AttachMutex(const char* name) {
  DWORD error = 0;
  if (!name || !name[0]) {
    error = _mutex.Create(nullptr);
  } else {
    const size_t length = strlen(name);
    std::unique_ptr<char[]> mutex_name(new (std::nothrow) char[length + sizeof("_MTX_EXT")]);
    if (!mutex_name) {
      error = ERROR_NOT_ENOUGH_MEMORY;
    } else {
      memcpy(mutex_name.get(), name, length);
      memcpy(mutex_name.get() + length, "_MTX_EXT", sizeof("_MTX_EXT"));
      error = _mutex.Create(mutex_name.get());
    }
  }
  if (error != 0) Close();
  return error;
}

void CBlockShareMem::Close() {
  _mutex.Close();
  _memory.Close();
}
