// The shared data store; see DataManager.h.
#include "info/DataManager.h"

#include <cstring>
#include <new>

CDataManager& CDataManager::GetInstance() {
  // A function-local static: built on first use, destroyed at process exit.
  static CDataManager instance;
  return instance;
}

bool CDataManager::SetData(uint32_t key, const void* data, uint32_t size) {
  _entries.erase(key);
  if (data == nullptr || size == 0) return true;
  try {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    _entries[key].assign(bytes, bytes + size);
  } catch (const std::bad_alloc&) {
    _entries.erase(key);
    return false;
  }
  return true;
}

bool CDataManager::GetData(uint32_t key, void* destination, uint32_t* size) const {
  if (size == nullptr) return false;
  const auto it = _entries.find(key);
  if (it == _entries.end()) return false;
  const uint32_t stored = static_cast<uint32_t>(it->second.size());
  const bool fits = destination != nullptr && *size >= stored;
  if (fits) memcpy(destination, it->second.data(), stored);
  *size = stored;
  return fits;
}
