// The resources of Ostrovelle_Core.exe: icons, menu, accelerators and the
// version box.
#include "CoreResource.h"
#include "StringUtil.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class CoreResourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string relative = OV_CORE_EXE_RELATIVE;
    ReplaceAll(relative, "/", "\\");
    module = LoadLibraryExA((ovtest::ExecutableFolder() + relative).c_str(), nullptr,
                            LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module);
  }
  void TearDown() override {
    if (module) FreeLibrary(module);
  }
  std::string ItemText(HMENU menu, UINT id) {
    char text[128] = {};
    GetMenuStringA(menu, id, text, sizeof(text), MF_BYCOMMAND);
    return text;
  }

  HMODULE module = nullptr;
};

TEST_F(CoreResourceTest, IconsAndVersionBoxExist) {
  EXPECT_NE(nullptr, FindResourceA(module, MAKEINTRESOURCEA(IDI_CORE_LARGE), RT_GROUP_ICON));
  EXPECT_NE(nullptr, FindResourceA(module, MAKEINTRESOURCEA(IDI_CORE_SMALL), RT_GROUP_ICON));
  EXPECT_NE(nullptr, FindResourceA(module, MAKEINTRESOURCEA(IDD_CORE_ABOUT), RT_DIALOG));
}

TEST_F(CoreResourceTest, MenuCarriesTheCommands) {
  HMENU menu = LoadMenuA(module, MAKEINTRESOURCEA(IDR_CORE_MENU));
  ASSERT_NE(nullptr, menu);
  ASSERT_EQ(3, GetMenuItemCount(menu));
  EXPECT_EQ(static_cast<UINT>(IDM_CORE_EXIT), GetMenuItemID(GetSubMenu(menu, 0), 0));
  EXPECT_EQ("アプリケーションの終了(&X)", ItemText(menu, IDM_CORE_EXIT));
  EXPECT_EQ(static_cast<UINT>(IDM_CORE_ABOUT), GetMenuItemID(GetSubMenu(menu, 2), 0));
  EXPECT_EQ("バージョン情報(&A)...", ItemText(menu, IDM_CORE_ABOUT));
  HMENU debug = GetSubMenu(menu, 1);
  const char* const texts[] = {"1.プローブ(&P)", "2.マップ(&M)", "3.渋滞情報(&S)",
                               "4.お天気情報(&W)", "5.ミュージック(&A)"};
  for (int sub = 0; sub < 2; ++sub) {
    HMENU popup = GetSubMenu(debug, sub);
    ASSERT_EQ(5, GetMenuItemCount(popup));
    const UINT first = sub == 0 ? IDM_CORE_CHARGE_FIRST : IDM_CORE_ABORT_FIRST;
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(first + i, GetMenuItemID(popup, i));
      EXPECT_EQ(texts[i], ItemText(popup, first + i));
    }
  }
  DestroyMenu(menu);
}

TEST_F(CoreResourceTest, AltQuestionMarkAndAltSlashOpenTheVersionBox) {
  HACCEL table = LoadAcceleratorsA(module, MAKEINTRESOURCEA(IDR_CORE_MENU));
  ASSERT_NE(nullptr, table);
  std::vector<ACCEL> entries(CopyAcceleratorTableA(table, nullptr, 0));
  CopyAcceleratorTableA(table, entries.data(), static_cast<int>(entries.size()));
  ASSERT_EQ(2u, entries.size());
  EXPECT_EQ('?', entries[0].key);
  EXPECT_EQ('/', entries[1].key);
  for (const ACCEL& a : entries) {
    EXPECT_EQ(IDM_CORE_ABOUT, a.cmd);
    EXPECT_TRUE(a.fVirt & FALT);
    EXPECT_FALSE(a.fVirt & FVIRTKEY);
  }
  DestroyAcceleratorTable(table);
}

}  // namespace
