// Shell item-id lists of real folders parsed by the desktop: counts and
// sizes, append, range bounds, parent and last item, the path round trip
// and comparison.
#include <gtest/gtest.h>

#include "ItemIdList.h"
#include "StringUtil.h"
#include "TestSupport.h"

namespace {

using lib::CItemIdList;

class ItemIdListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ASSERT_TRUE(SUCCEEDED(SHGetDesktopFolder(&_desktop)));
    _base = ToWide(_dir.Path());
    if (!_base.empty() && _base.back() == L'\\') _base.pop_back();
    ASSERT_TRUE(CreateDirectoryW((_base + L"\\a").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((_base + L"\\a\\b").c_str(), nullptr));
  }
  void TearDown() override {
    if (_desktop) _desktop->Release();
    CoUninitialize();
  }

  ovtest::CTempDir _dir;
  std::wstring _base;
  IShellFolder* _desktop = nullptr;
};

TEST_F(ItemIdListTest, CountsSizesAndRanges) {
  CItemIdList deep;
  ASSERT_TRUE(deep.ParseDisplayName(_desktop, _base + L"\\a\\b"));
  CItemIdList base;
  ASSERT_TRUE(base.ParseDisplayName(_desktop, _base));
  const int n = CItemIdList::Count(deep.Get());
  EXPECT_EQ(n, CItemIdList::Count(base.Get()) + 2);
  EXPECT_EQ(CItemIdList::Count(nullptr), 0);
  EXPECT_EQ(CItemIdList::GetSize(nullptr, true), 0u);

  // The whole size is the ids plus the terminator; the first id alone.
  UINT sum = 2;
  for (int i = 0; i < n; ++i) {
    CItemIdList one(deep.CopyRange(i, 1));
    ASSERT_FALSE(one.IsEmpty());
    EXPECT_EQ(CItemIdList::Count(one.Get()), 1);
    sum += CItemIdList::GetSize(one.Get(), false);
  }
  EXPECT_EQ(CItemIdList::GetSize(deep.Get(), true), sum);
  EXPECT_EQ(CItemIdList::GetSize(deep.Get(), false),
            CItemIdList::GetSize(CItemIdList(deep.CopyRange(0, 1)).Get(), false));

  const struct {
    int first, count;
    bool valid;
  } ranges[] = {{0, n, true},      {n - 1, 1, true}, {0, 0, false},
                {n - 1, 2, false}, {n, 1, false},    {-1, 1, false}};
  for (const auto& r : ranges) {
    SCOPED_TRACE(testing::Message() << r.first << "+" << r.count);
    CItemIdList range(deep.CopyRange(r.first, r.count));
    EXPECT_EQ(!range.IsEmpty(), r.valid);
    if (r.valid) {
      EXPECT_EQ(CItemIdList::Count(range.Get()), r.count);
    }
  }

  CItemIdList empty(CItemIdList().Append(nullptr));
  ASSERT_FALSE(empty.IsEmpty());
  EXPECT_EQ(CItemIdList::GetSize(empty.Get(), true), 2u);
  EXPECT_EQ(CItemIdList::Count(empty.Get()), 0);
  EXPECT_EQ(empty.GetPath(), L"");
}

TEST_F(ItemIdListTest, ParentLastAppendAndPathRoundTrip) {
  CItemIdList deep;
  ASSERT_TRUE(deep.ParseDisplayName(_desktop, _base + L"\\a\\b"));
  EXPECT_EQ(deep.GetPath(), _base + L"\\a\\b");

  CItemIdList parent(deep.GetParent());
  EXPECT_EQ(parent.GetPath(), _base + L"\\a");
  CItemIdList last(deep.GetLastItem());
  EXPECT_EQ(CItemIdList::Count(last.Get()), 1);

  CItemIdList joined(parent.Append(last.Get()));
  EXPECT_EQ(joined.GetPath(), _base + L"\\a\\b");
  EXPECT_EQ(joined.Compare(_desktop, deep.Get()), 0);
  EXPECT_NE(parent.Compare(_desktop, deep.Get()), 0);
  EXPECT_EQ(parent.Compare(_desktop, nullptr), 0);
  EXPECT_EQ(CItemIdList().Compare(_desktop, deep.Get()), 0);

  EXPECT_EQ(deep.GetDisplayName(_desktop, SHGDN_FORPARSING), _base + L"\\a\\b");
  ULONG attributes = SFGAO_FOLDER;
  EXPECT_TRUE(deep.GetAttributes(_desktop, &attributes));
  EXPECT_TRUE(attributes & SFGAO_FOLDER);

  // Detach hands the list over; parsing nothing fails and leaves it empty.
  CItemIdList taken(deep.Detach());
  EXPECT_TRUE(deep.IsEmpty());
  EXPECT_FALSE(taken.IsEmpty());
  EXPECT_FALSE(taken.ParseDisplayName(_desktop, L""));
  EXPECT_TRUE(taken.IsEmpty());
  EXPECT_FALSE(taken.ParseDisplayName(_desktop, _base + L"\\missing"));
}

}  // namespace
