// Named shared memory blocks and their mutexes, opened from this process.
#include "Handle.h"
#include "ShareMem.h"
#include "StringUtil.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

std::string UniqueName(const char* stem) {
  static LONG counter = 0;
  return FormatString("OvTest_%s_%lu_%ld", stem, GetCurrentProcessId(),
                      static_cast<long>(InterlockedIncrement(&counter)));
}

// A mapping of 32 bytes made the way the core makes it, holding `first`.
CHandle MakeMapping(const std::string& name, uint32_t first) {
  CHandle mapping(
      CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 32, name.c_str()));
  if (mapping) {
    CMappedView view(MapViewOfFile(mapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
    memcpy(view.Get(), &first, sizeof(first));
  }
  return mapping;
}

DWORD WINAPI TryTake(void* mutex) { return WaitForSingleObject(static_cast<HANDLE>(mutex), 0); }

uint32_t FirstValue(const CBlockShareMem& block) {
  uint32_t value = 0;
  memcpy(&value, block.GetView(), sizeof(value));
  return value;
}

TEST(ObjGlobalName, PrefixOnlyWhenAskedFor) {
  CObjGlobalName name;
  EXPECT_EQ(nullptr, name.Get());
  ASSERT_EQ(0u, name.Set("OVEVMapChargeDLProgress_MTX_EXT", true));
  EXPECT_STREQ("Global\\OVEVMapChargeDLProgress_MTX_EXT", name.Get());
  ASSERT_EQ(0u, name.Set("Plain", false));
  EXPECT_STREQ("Plain", name.Get());
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), name.Set(nullptr, true));
  EXPECT_STREQ("Plain", name.Get());
}

TEST(FullCtrlSecrAttr, GivesANullAccessList) {
  CFullCtrlSecrAttr security;
  ASSERT_EQ(0u, security.GetError());
  SECURITY_ATTRIBUTES* attributes = security.Get();
  ASSERT_NE(nullptr, attributes);
  EXPECT_FALSE(attributes->bInheritHandle);
  BOOL present = FALSE;
  BOOL defaulted = TRUE;
  PACL acl = reinterpret_cast<PACL>(1);
  ASSERT_TRUE(
      GetSecurityDescriptorDacl(attributes->lpSecurityDescriptor, &present, &acl, &defaulted));
  EXPECT_TRUE(present);
  EXPECT_EQ(nullptr, acl);
}

TEST(BlockShareMem, OpenBeforeCreationFailsAndHoldsNothing) {
  CBlockShareMem block;
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), block.Open(UniqueName("none").c_str()));
  EXPECT_EQ(nullptr, block.GetView());
  EXPECT_EQ(nullptr, block.GetMutex());
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), block.Open(nullptr));
}

TEST(BlockShareMem, OpensTheMappingAndItsGlobalMutex) {
  const std::string name = UniqueName("block");
  CHandle mapping = MakeMapping(name, 0x1234);
  ASSERT_TRUE(mapping);
  CBlockShareMem block;
  ASSERT_EQ(0u, block.Open(name.c_str()));
  EXPECT_EQ(0x1234u, FirstValue(block));
  ASSERT_NE(nullptr, block.GetMutex());
  CHandle mutex(OpenMutexA(SYNCHRONIZE, FALSE, ("Global\\" + name + "_MTX_EXT").c_str()));
  EXPECT_TRUE(mutex);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(block.GetMutex(), 1000));
  ReleaseMutex(block.GetMutex());
}

TEST(BlockShareMem, SecondOpenReplacesTheFirst) {
  const std::string first = UniqueName("first");
  const std::string second = UniqueName("second");
  CHandle a = MakeMapping(first, 1);
  CHandle b = MakeMapping(second, 2);
  CBlockShareMem block;
  ASSERT_EQ(0u, block.Open(first.c_str()));
  ASSERT_EQ(0u, block.Open(second.c_str()));
  EXPECT_EQ(2u, FirstValue(block));
  // The first mutex is closed: only the second block's name is still held.
  a.Reset();
  CHandle old_mutex(OpenMutexA(SYNCHRONIZE, FALSE, ("Global\\" + first + "_MTX_EXT").c_str()));
  EXPECT_FALSE(old_mutex);
  CHandle new_mutex(OpenMutexA(SYNCHRONIZE, FALSE, ("Global\\" + second + "_MTX_EXT").c_str()));
  EXPECT_TRUE(new_mutex);
  // A failed open leaves nothing behind either.
  EXPECT_NE(0u, block.Open(UniqueName("gone").c_str()));
  EXPECT_EQ(nullptr, block.GetView());
  EXPECT_EQ(nullptr, block.GetMutex());
}

TEST(MutexObj, CreatingAnExistingNameOpensIt) {
  const std::string name = UniqueName("mutex");
  CMutexObj first;
  CMutexObj second;
  ASSERT_EQ(0u, first.Create(name.c_str()));
  ASSERT_EQ(0u, second.Create(name.c_str()));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(first.Get(), 0));
  // Another thread sees the one mutex taken.
  HANDLE other = second.Get();
  const CHandle thread(CreateThread(nullptr, 0, TryTake, other, 0, nullptr));
  ASSERT_TRUE(thread);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.Get(), 5000));
  DWORD code = 0;
  GetExitCodeThread(thread.Get(), &code);
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), code);
  ReleaseMutex(first.Get());
}

}  // namespace
