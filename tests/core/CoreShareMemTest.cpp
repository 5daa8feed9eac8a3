// Creating the named shared memory blocks, and the main program's side
// opening what the core made.
#include "CoreShareMem.h"
#include "Handle.h"
#include "StringUtil.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

std::string UniqueName(const char* stem) {
  static LONG counter = 0;
  return FormatString("OvCoreTest_%s_%lu_%ld", stem, GetCurrentProcessId(),
                      static_cast<long>(InterlockedIncrement(&counter)));
}

uint32_t* Values(void* view) { return static_cast<uint32_t*>(view); }

TEST(CoreShareMem, ANewBlockStartsZeroed) {
  const std::string name = UniqueName("new");
  core::CShareMem memory;
  ASSERT_EQ(0u, memory.Create(name.c_str(), kMapChargeProgressSize, false));
  ASSERT_NE(nullptr, memory.GetView());
  for (int i = 0; i < 8; ++i) EXPECT_EQ(0u, Values(memory.GetView())[i]);
}

TEST(CoreShareMem, ANameInUseIsRefusedUnlessAccepted) {
  const std::string name = UniqueName("used");
  core::CShareMem first;
  ASSERT_EQ(0u, first.Create(name.c_str(), 32, false));
  Values(first.GetView())[3] = 0xABCD;

  core::CShareMem refused;
  EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), refused.Create(name.c_str(), 32, false));
  EXPECT_EQ(nullptr, refused.GetView());
  EXPECT_EQ(nullptr, refused.GetHandle());

  core::CShareMem accepted;
  ASSERT_EQ(0u, accepted.Create(name.c_str(), 32, true));
  EXPECT_EQ(0xABCDu, Values(accepted.GetView())[3]);
}

TEST(CoreShareMem, TheMainProgramOpensWhatTheCoreCreated) {
  const std::string name = UniqueName("block");
  core::CBlockShareMem core_block;
  ASSERT_EQ(0u, core_block.Open(name.c_str(), true, kMapChargeProgressSize, true));
  ASSERT_NE(nullptr, core_block.GetMutex());
  CHandle mutex(OpenMutexA(SYNCHRONIZE, FALSE, ("Global\\" + name + "_MTX_EXT").c_str()));
  EXPECT_TRUE(mutex);

  CBlockShareMem main_block;
  ASSERT_EQ(0u, main_block.Open(name.c_str()));
  Values(core_block.GetView())[1] = 55;
  EXPECT_EQ(55u, Values(main_block.GetView())[1]);

  // The core's writers open it by name without the create flag.
  core::CBlockShareMem writer;
  ASSERT_EQ(0u, writer.Open(name.c_str(), false, 0, false));
  EXPECT_EQ(55u, Values(writer.GetView())[1]);
}

TEST(CoreShareMem, FailuresLeaveTheBlockEmpty) {
  core::CBlockShareMem block;
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND),
            block.Open(UniqueName("missing").c_str(), false, 0, false));
  EXPECT_EQ(nullptr, block.GetView());
  const std::string name = UniqueName("taken");
  core::CShareMem holder;
  ASSERT_EQ(0u, holder.Create(name.c_str(), 32, false));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), block.Open(name.c_str(), true, 32, false));
  EXPECT_EQ(nullptr, block.GetView());
  EXPECT_EQ(nullptr, block.GetMutex());
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), block.Open(nullptr, true, 32, true));
}

}  // namespace
