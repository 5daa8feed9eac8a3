// Creating the named shared memory blocks; see CoreShareMem.h.
#include "CoreShareMem.h"

#include <cstring>

namespace core {

namespace {

DWORD CreateMapping(const char* name, uint32_t size, bool accept_existing, CHandle* mapping,
                    CMappedView* view) {
  CObjGlobalName plain;
  const DWORD error = plain.Set(name, false);
  if (error != 0) return error;

  CFullCtrlSecrAttr security;
  CHandle made(CreateFileMappingA(INVALID_HANDLE_VALUE, security.Get(), PAGE_READWRITE, 0, size,
                                  plain.Get()));
  if (!made) return GetLastError();
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  if (existed && !accept_existing) return ERROR_ALREADY_EXISTS;

  CMappedView mapped(MapViewOfFile(made.Get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
  if (!mapped) return GetLastError();
  if (!existed) memset(mapped.Get(), 0, size);
  *mapping = std::move(made);
  *view = std::move(mapped);
  return 0;
}

}  // namespace

DWORD CShareMem::Create(const char* name, uint32_t size, bool accept_existing) {
  Close();
  CHandle mapping;
  CMappedView view;
  const DWORD error = CreateMapping(name, size, accept_existing, &mapping, &view);
  if (error == 0) Adopt(std::move(mapping), std::move(view));
  return error;
}

DWORD CBlockShareMem::Open(const char* name, bool create, uint32_t size, bool accept_existing) {
  Close();
  DWORD error = 0;
  if (create) {
    CHandle mapping;
    CMappedView view;
    error = CreateMapping(name, size, accept_existing, &mapping, &view);
    if (error == 0) Memory().Adopt(std::move(mapping), std::move(view));
  } else {
    error = Memory().Open(name);
  }
  if (error != 0) {
    Close();
    return error;
  }
  return AttachMutex(name);
}

}  // namespace core
