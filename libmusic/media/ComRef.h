// Owner of one COM reference: releases it when dropped, never copies it
// silently (Share adds a reference on purpose).
#pragma once

#include "OvWindows.h"

#include <utility>

namespace libmusic {
namespace media {

template <typename T>
class CComRef final {
 public:
  CComRef() = default;
  // Takes over a reference the caller already holds.
  explicit CComRef(T* p) : _p(p) {}
  ~CComRef() { Reset(); }
  CComRef(const CComRef&) = delete;
  CComRef& operator=(const CComRef&) = delete;
  CComRef(CComRef&& o) noexcept : _p(o.Detach()) {}
  CComRef& operator=(CComRef&& o) noexcept {
    if (this != &o) Reset(o.Detach());
    return *this;
  }

  // A new reference to the same object.
  static CComRef Share(T* p) {
    if (p) p->AddRef();
    return CComRef(p);
  }

  T* Get() const { return _p; }
  T* operator->() const { return _p; }
  T& operator*() const { return *_p; }
  explicit operator bool() const { return _p != nullptr; }
  // For calls that hand out a reference: the old one is dropped first.
  T** Receive() {
    Reset();
    return &_p;
  }
  T* Detach() {
    T* p = _p;
    _p = nullptr;
    return p;
  }
  void Reset(T* p = nullptr) {
    if (_p) _p->Release();
    _p = p;
  }

  // Asks for another interface of the same object.
  template <typename U>
  HRESULT Query(REFIID iid, CComRef<U>* out) const {
    if (!_p) return E_POINTER;
    return _p->QueryInterface(iid, reinterpret_cast<void**>(out->Receive()));
  }

 private:
  T* _p = nullptr;
};

// The interlocked reference count of one COM object, which starts at 1 and
// deletes the object when it drops to 0.
class CRefCount final {
 public:
  ULONG Add() { return static_cast<ULONG>(InterlockedIncrement(&_refs)); }
  template <typename T>
  ULONG Drop(T* owner) {
    const LONG refs = InterlockedDecrement(&_refs);
    if (refs == 0) delete owner;
    return static_cast<ULONG>(refs);
  }

 private:
  volatile LONG _refs = 1;
};

}  // namespace media
}  // namespace libmusic
