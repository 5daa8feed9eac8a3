// Raw resources.
#include "Resource.h"

namespace lib::wfc {

const void* LoadRawResource(const char* name, const char* type, size_t* size, HINSTANCE instance) {
  if (size) *size = 0;
  const HRSRC found = ::FindResourceA(instance, name, type);
  if (!found) return nullptr;
  const DWORD bytes = ::SizeofResource(instance, found);
  const HGLOBAL loaded = ::LoadResource(instance, found);
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (!data || bytes == 0) return nullptr;
  if (size) *size = bytes;
  return data;
}

}  // namespace lib::wfc
