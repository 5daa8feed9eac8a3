// The shared data store: copies kept, sizes reported, keys removed.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "info/DataManager.h"

namespace {

// A store of the test's own, so no case sees another's entries.
class CFreshDataManager final : public CDataManager {};

class DataManagerTest : public ::testing::Test {
 protected:
  CFreshDataManager store;
  const std::string stored = "one-time credentials";
  uint32_t Stored() const { return static_cast<uint32_t>(stored.size()); }
};

TEST_F(DataManagerTest, KeepsItsOwnCopy) {
  std::string source = stored;
  ASSERT_TRUE(store.SetData(1, source.data(), Stored()));
  source.assign(source.size(), 'x');  // the caller's buffer is not referenced
  char out[64] = {};
  uint32_t size = sizeof(out);
  ASSERT_TRUE(store.GetData(1, out, &size));
  EXPECT_EQ(Stored(), size);
  EXPECT_EQ(stored, std::string(out, size));
}

TEST_F(DataManagerTest, DestinationSizesAndQueries) {
  ASSERT_TRUE(store.SetData(1, stored.data(), Stored()));
  struct Case {
    const char* name;
    bool with_destination;
    uint32_t capacity;
    bool result;
    bool copied;
  };
  const Case cases[] = {
      {"larger buffer copies the stored bytes only", true, 64, true, true},
      {"exact buffer", true, Stored(), true, true},
      {"smaller buffer copies nothing", true, Stored() - 1, false, false},
      {"no destination asks for the size", false, 0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    char out[64];
    memset(out, '#', sizeof(out));
    uint32_t size = c.capacity;
    EXPECT_EQ(c.result, store.GetData(1, c.with_destination ? out : nullptr, &size));
    EXPECT_EQ(Stored(), size);
    EXPECT_EQ(c.copied, std::string(out, Stored()) == stored);
    // Nothing past the stored size is touched.
    EXPECT_EQ('#', out[Stored()]);
  }
}

TEST_F(DataManagerTest, AbsentKeyOrNoSizeLeavesTheCallerAlone) {
  ASSERT_TRUE(store.SetData(1, stored.data(), Stored()));
  char out[8] = {};
  uint32_t size = 77;
  EXPECT_FALSE(store.GetData(2, out, &size));
  EXPECT_EQ(77u, size);
  EXPECT_FALSE(store.GetData(1, out, nullptr));
}

TEST_F(DataManagerTest, EmptyDataRemovesTheKey) {
  for (const bool null_data : {false, true}) {
    SCOPED_TRACE(null_data ? "null data" : "size 0");
    ASSERT_TRUE(store.SetData(1, stored.data(), Stored()));
    ASSERT_TRUE(store.SetData(1, null_data ? nullptr : stored.data(), null_data ? 5 : 0));
    uint32_t size = 0;
    EXPECT_FALSE(store.GetData(1, nullptr, &size));
    EXPECT_EQ(0u, size);
  }
}

TEST_F(DataManagerTest, ReplacingTakesTheNewSizeAndOtherKeysStay) {
  ASSERT_TRUE(store.SetData(1, stored.data(), Stored()));
  ASSERT_TRUE(store.SetData(2, "abc", 3));
  ASSERT_TRUE(store.SetData(1, "xy", 2));
  char out[64] = {};
  uint32_t size = sizeof(out);
  ASSERT_TRUE(store.GetData(1, out, &size));
  EXPECT_EQ("xy", std::string(out, size));
  size = sizeof(out);
  ASSERT_TRUE(store.GetData(2, out, &size));
  EXPECT_EQ("abc", std::string(out, size));
}

TEST(DataManagerInstanceTest, OneInstancePerProcess) {
  EXPECT_EQ(&CDataManager::GetInstance(), &CDataManager::GetInstance());
}

}  // namespace
