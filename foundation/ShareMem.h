// Named shared memory and the named mutexes that guard it, shared between
// the core (which creates the blocks) and the main program (which opens
// them). The objects are usable from any thread but not shared between
// threads without a lock of the caller's; every operation returns 0 or a
// platform error and never throws.
#pragma once

#include "Handle.h"
#include "OvWindows.h"

#include <memory>

// A security descriptor with a null access list: every user of every
// session gets full access to an object created with it.
class CFullCtrlSecrDes {
 public:
  CFullCtrlSecrDes();
  virtual ~CFullCtrlSecrDes() = default;
  CFullCtrlSecrDes(const CFullCtrlSecrDes&) = delete;
  CFullCtrlSecrDes& operator=(const CFullCtrlSecrDes&) = delete;

  DWORD GetError() const { return _error; }

 protected:
  SECURITY_DESCRIPTOR _descriptor;
  DWORD _error = 0;
};

class CFullCtrlSecrAttr : public CFullCtrlSecrDes {
 public:
  CFullCtrlSecrAttr();
  ~CFullCtrlSecrAttr() override = default;

  // Null when the descriptor could not be made: the object then gets the
  // default security.
  SECURITY_ATTRIBUTES* Get() { return _error == 0 ? &_attributes : nullptr; }

 private:
  SECURITY_ATTRIBUTES _attributes;
};

// An object name, with "Global\" in front when asked for on NT 5 and later.
class CObjGlobalName {
 public:
  CObjGlobalName() = default;
  virtual ~CObjGlobalName() = default;
  CObjGlobalName(const CObjGlobalName&) = delete;
  CObjGlobalName& operator=(const CObjGlobalName&) = delete;

  // 87 without a name (nothing changes), 14 out of memory, or the error of
  // the version query.
  DWORD Set(const char* name, bool global);
  // Null until set.
  const char* Get() const { return _name.get(); }

 private:
  std::unique_ptr<char[]> _name;
};

class CShareMem {
 public:
  CShareMem() = default;
  virtual ~CShareMem() { Close(); }
  CShareMem(const CShareMem&) = delete;
  CShareMem& operator=(const CShareMem&) = delete;

  // Opens an existing mapping under its plain name and maps all of it.
  DWORD Open(const char* name);
  void Close();
  // Takes over a mapping and its view made elsewhere (the creating side).
  void Adopt(CHandle mapping, CMappedView view);

  void* GetView() const { return _view.Get(); }
  HANDLE GetHandle() const { return _mapping.Get(); }

 private:
  CHandle _mapping;
  CMappedView _view;
};

class CMutexObj {
 public:
  CMutexObj() = default;
  virtual ~CMutexObj() { Close(); }
  CMutexObj(const CMutexObj&) = delete;
  CMutexObj& operator=(const CMutexObj&) = delete;

  // Creates the mutex (not owned, open to everyone) under the global form of
  // the name, or opens it when it exists.
  DWORD Create(const char* name);
  void Close();
  HANDLE Get() const { return _mutex.Get(); }

 private:
  CHandle _mutex;
};

// A mapping and its mutex, named after the mapping with "_MTX_EXT" appended.
// Users wait on GetMutex() around each read or write of the view.
class CBlockShareMem {
 public:
  CBlockShareMem() = default;
  virtual ~CBlockShareMem() { Close(); }
  CBlockShareMem(const CBlockShareMem&) = delete;
  CBlockShareMem& operator=(const CBlockShareMem&) = delete;

  DWORD Open(const char* name);
  void Close();

  void* GetView() const { return _memory.GetView(); }
  HANDLE GetMutex() const { return _mutex.Get(); }

 protected:
  CShareMem& Memory() { return _memory; }
  // Creates or opens the mutex of the mapping just taken into Memory();
  // on failure releases both.
  DWORD AttachMutex(const char* name);

 private:
  CShareMem _memory;
  CMutexObj _mutex;
};
