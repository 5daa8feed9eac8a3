// Owners of platform handles: one template, a destroyer policy per kind.
// Owners are movable, never copyable. Borrowed handles stay raw types.
#pragma once

#include "OvWindows.h"

#include <utility>

template <typename Traits>
class CScopedHandle final {
 public:
  using Type = typename Traits::Type;

  CScopedHandle() = default;
  explicit CScopedHandle(Type h) : _h(h) {}
  ~CScopedHandle() { Reset(); }
  CScopedHandle(const CScopedHandle&) = delete;
  CScopedHandle& operator=(const CScopedHandle&) = delete;
  CScopedHandle(CScopedHandle&& o) noexcept : _h(o.Detach()) {}
  CScopedHandle& operator=(CScopedHandle&& o) noexcept {
    if (this != &o) Reset(o.Detach());
    return *this;
  }

  Type Get() const { return _h; }
  bool IsValid() const { return _h != Traits::Empty(); }
  explicit operator bool() const { return IsValid(); }
  Type Detach() {
    Type h = _h;
    _h = Traits::Empty();
    return h;
  }
  void Reset(Type h = Traits::Empty()) {
    if (_h != Traits::Empty()) Traits::Destroy(_h);
    _h = h;
  }
  // For a call that returns a handle through an out-parameter: what is held
  // goes first, and the owner takes whatever the call writes.
  Type* Put() {
    Reset();
    return &_h;
  }

 private:
  Type _h = Traits::Empty();
};

struct KernelHandleTraits {
  using Type = HANDLE;
  static Type Empty() { return nullptr; }
  static void Destroy(Type h) { ::CloseHandle(h); }
};

struct FileHandleTraits {
  using Type = HANDLE;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static void Destroy(Type h) { ::CloseHandle(h); }
};

struct FindHandleTraits {
  using Type = HANDLE;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static void Destroy(Type h) { ::FindClose(h); }
};

struct RegKeyTraits {
  using Type = HKEY;
  static Type Empty() { return nullptr; }
  static void Destroy(Type h) { ::RegCloseKey(h); }
};

struct MappedViewTraits {
  using Type = void*;
  static Type Empty() { return nullptr; }
  static void Destroy(Type p) { ::UnmapViewOfFile(p); }
};

struct LocalMemTraits {
  using Type = HLOCAL;
  static Type Empty() { return nullptr; }
  static void Destroy(Type h) { ::LocalFree(h); }
};

struct GlobalMemTraits {
  using Type = HGLOBAL;
  static Type Empty() { return nullptr; }
  static void Destroy(Type h) { ::GlobalFree(h); }
};

using CHandle = CScopedHandle<KernelHandleTraits>;
using CFileHandle = CScopedHandle<FileHandleTraits>;
using CFindHandle = CScopedHandle<FindHandleTraits>;
using CRegKey = CScopedHandle<RegKeyTraits>;
using CMappedView = CScopedHandle<MappedViewTraits>;
using CLocalMem = CScopedHandle<LocalMemTraits>;
using CGlobalMem = CScopedHandle<GlobalMemTraits>;

// Holds a mutex taken by a successful wait; releases it on scope exit.
class CMutexLock final {
 public:
  explicit CMutexLock(HANDLE mutex) : _mutex(mutex) {}  // not owned
  ~CMutexLock() {
    if (_mutex) ::ReleaseMutex(_mutex);
  }
  CMutexLock(const CMutexLock&) = delete;
  CMutexLock& operator=(const CMutexLock&) = delete;

 private:
  HANDLE _mutex;
};
