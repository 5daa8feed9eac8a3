// The creating side of the named shared memory blocks: the core makes the
// map charge's progress blocks, the main program only opens them. Same
// thread rules as the foundation's blocks.
#pragma once

#include "CoreMessages.h"
#include "ShareMem.h"

#include <cstdint>

namespace core {

class CShareMem final : public ::CShareMem {
 public:
  // A mapping on the paging file, open to everyone. An existing mapping is
  // an error (183) unless accept_existing; it is then taken as it stands,
  // while a new one starts zeroed.
  DWORD Create(const char* name, uint32_t size, bool accept_existing);
};

class CBlockShareMem final : public ::CBlockShareMem {
 public:
  using ::CBlockShareMem::Open;
  // With create the mapping is made (as CShareMem::Create), else opened;
  // then its mutex is created or opened.
  DWORD Open(const char* name, bool create, uint32_t size, bool accept_existing);
};

}  // namespace core
