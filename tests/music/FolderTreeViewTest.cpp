// The folder tree on a real tree-view control under Xvfb, over temporary
// folders: lazy filling, the folder limit and its box, walking to a path
// (also one whose last folders are gone), the Back history across
// rebuilds, Up, the owner's notices, the mouse passed on to the parent, the
// notices reaching their slots in both character sets, and the skinned
// scroll bars drawn from bitmap 131.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "FolderTreeView.h"
#include "ItemIdList.h"
#include "Log.h"
#include "MessageBoxCapture.h"
#include "ScreenLock.h"
#include "SkinParser.h"
#include "StringUtil.h"
#include "TestSupport.h"
#include "XvfbScreenshot.h"

namespace {

using ui::CFolderTreeView;

// What the parent window saw: the tree's mouse messages passed on.
struct ParentLog {
  std::vector<MSG> mouse;
};
ParentLog g_parent;
ui::CTreeViewBase* g_routed = nullptr;  // the tree whose notices the parent routes

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
  if (message == WM_NOTIFY && g_routed)
    return g_routed->OnNotify(message, wp, reinterpret_cast<NMHDR*>(lp));
  if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) {
    MSG msg = {};
    msg.message = message;
    msg.wParam = wp;
    msg.lParam = lp;
    g_parent.mouse.push_back(msg);
    return 0;
  }
  return DefWindowProcW(window, message, wp, lp);
}

void RegisterParent() {
  static bool done = false;
  if (done) return;
  WNDCLASSW cls = {};
  cls.lpfnWndProc = ParentProc;
  cls.hInstance = GetModuleHandleW(nullptr);
  cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  cls.lpszClassName = L"OvFolderTreeTestParent";
  RegisterClassW(&cls);
  done = true;
}

// Other test processes share the screen and the pointer: input this case
// did not send is dropped.
void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Pumps until the condition holds; false after the limit.
template <typename Condition>
bool PumpUntil(Condition done, DWORD limit_ms = 2000) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > limit_ms) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    Pump();
  }
  return true;
}

struct Owner final : ui::IFolderTreeOwner {
  void ListFolder(int target, const std::wstring& folder) override {
    targets.push_back(target);
    folders.push_back(folder);
  }
  std::vector<int> targets;
  std::vector<std::wstring> folders;
};

ui::SkinDefinition TestSkin() {
  std::ifstream file(OV_SCROLL_TEST_SKIN, std::ios::binary);
  std::stringstream read;
  read << file.rdbuf();
  std::string bytes;
  for (char c : read.str()) {
    if (c == '\r') continue;
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  ui::SkinDefinition definition;
  ui::SkinParseOutput output;
  ui::ParseSkinLines("ScrollBarTestSkin.txt", ui::SplitSkinLines(bytes, false), &definition,
                     &output);
  return definition;
}

void MakeFolder(const std::wstring& path) { ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)); }

void MakeFile(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
}

class FolderTreeViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterParent();
    g_parent = ParentLog();
    std::wstring root = ToWide(_dir.Path());
    root.pop_back();  // no trailing backslash: the tree shows the folder itself
    _root = root;
    _parent =
        CreateWindowExW(0, L"OvFolderTreeTestParent", L"folder tree", WS_POPUP | WS_VISIBLE, 60, 60,
                        320, 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(_parent, nullptr);
  }
  void TearDown() override {
    g_routed = nullptr;
    _tree.reset();
    if (_parent) DestroyWindow(_parent);
    Pump();
  }

  // The tree inside the parent, with the skinned bars when asked.
  void MakeTree(bool skinned = false) {
    _tree = std::make_unique<CFolderTreeView>(1);
    _tree->SetOwner(&_owner);
    if (skinned)
      _tree->SetCustomScrollBar(ui::CreateCustomScrollBar(TestSkin(), "CustomScrollBar"));
    ASSERT_TRUE(_tree->Create(_parent, RECT{10, 10, 310, 290}));
    g_routed = _tree.get();
  }

  std::wstring Sub(const std::wstring& relative) const { return _root + L"\\" + relative; }

  HWND Tree() const { return _tree->Handle(); }
  HTREEITEM Root() const { return TreeView_GetRoot(Tree()); }
  HTREEITEM Selected() const { return TreeView_GetSelection(Tree()); }
  std::wstring Text(HTREEITEM item) const {
    wchar_t text[MAX_PATH + 1] = {};
    TVITEMW tv = {};
    tv.mask = TVIF_TEXT | TVIF_HANDLE;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = MAX_PATH;
    SendMessageW(Tree(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
    return text;
  }
  std::vector<std::wstring> Children(HTREEITEM item) const {
    std::vector<std::wstring> names;
    for (HTREEITEM c = TreeView_GetChild(Tree(), item); c; c = TreeView_GetNextSibling(Tree(), c))
      names.push_back(Text(c));
    return names;
  }
  int ChildCount(HTREEITEM item) const {
    int n = 0;
    for (HTREEITEM c = TreeView_GetChild(Tree(), item); c; c = TreeView_GetNextSibling(Tree(), c))
      ++n;
    return n;
  }
  // The item's child-count field: 0 means no expand button.
  int ChildrenField(HTREEITEM item) const {
    TVITEMW tv = {};
    tv.mask = TVIF_CHILDREN | TVIF_HANDLE;
    tv.hItem = item;
    SendMessageW(Tree(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
    return tv.cChildren;
  }
  HTREEITEM Child(HTREEITEM item, const std::wstring& name) const {
    for (HTREEITEM c = TreeView_GetChild(Tree(), item); c; c = TreeView_GetNextSibling(Tree(), c))
      if (Text(c) == name) return c;
    return nullptr;
  }
  void ExpandByNotice(HTREEITEM item) {
    TreeView_Expand(Tree(), item, TVE_EXPAND);
    Pump();
  }
  bool Expanded(HTREEITEM item) const {
    return TreeView_GetItemState(Tree(), item, TVIS_EXPANDED) & TVIS_EXPANDED;
  }

  ovtest::CScreenLock _screen_lock;  // taken before any window is made
  ovtest::CTempDir _dir;
  ovtest::CMessageBoxCapture _boxes;
  std::wstring _root;
  HWND _parent = nullptr;
  Owner _owner;
  std::unique_ptr<CFolderTreeView> _tree;
};

TEST_F(FolderTreeViewTest, FillsEachFolderWhenFirstExpanded) {
  MakeFolder(Sub(L"b"));
  MakeFolder(Sub(L"a"));
  MakeFolder(Sub(L"a\\inner"));
  MakeFolder(Sub(L"c"));
  MakeFile(Sub(L"song.mp3"));
  MakeFile(Sub(L"c\\only a file.mp3"));
  MakeTree();
  ASSERT_TRUE(_tree->Refresh(_root));
  const HTREEITEM root = Root();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(TreeView_GetNextSibling(Tree(), root), nullptr) << "one root item";
  EXPECT_EQ(ChildCount(root), 0) << "nothing listed before the first expansion";
  EXPECT_EQ(ChildrenField(root), 1) << "but an expand button";

  ExpandByNotice(root);
  EXPECT_EQ(Children(root), (std::vector<std::wstring>{L"a", L"b", L"c"})) << "sorted, no files";
  EXPECT_TRUE(Expanded(root));
  EXPECT_EQ(ChildCount(Child(root, L"a")), 0) << "the grandchildren wait";

  // A folder holding only files, and an empty one, lose their buttons.
  for (const wchar_t* name : {L"b", L"c"}) {
    SCOPED_TRACE(ToMultiByte(name));
    const HTREEITEM item = Child(root, name);
    ExpandByNotice(item);
    EXPECT_EQ(ChildCount(item), 0);
    EXPECT_EQ(ChildrenField(item), 0);
  }
  // Collapsing and expanding again lists nothing twice.
  TreeView_Expand(Tree(), root, TVE_COLLAPSE);
  ExpandByNotice(root);
  EXPECT_EQ(ChildCount(root), 3);
}

// The PC's folders: Control Panel is one of the folders never shown. (Only
// My Computer is expanded: its drives are listed, not opened.)
TEST_F(FolderTreeViewTest, HidesTheSpecialFolders) {
  MakeTree();
  ASSERT_TRUE(_tree->Refresh(L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}"));
  EXPECT_EQ(_tree->GetSelectedPath(), L"") << "nothing selected yet";
  ExpandByNotice(Root());
  IShellFolder* desktop = nullptr;
  ASSERT_TRUE(SUCCEEDED(SHGetDesktopFolder(&desktop)));
  lib::CItemIdList controls;
  ASSERT_TRUE(controls.SetSpecialFolder(nullptr, CSIDL_CONTROLS));
  const std::wstring hidden = controls.GetDisplayName(desktop, SHGDN_NORMAL);
  desktop->Release();
  ASSERT_FALSE(hidden.empty());
  const auto shown = Children(Root());
  EXPECT_GE(shown.size(), 1u) << "the drives";
  EXPECT_EQ(std::find(shown.begin(), shown.end(), hidden), shown.end()) << ToMultiByte(hidden);
  // A virtual folder has no path for the owner to list.
  ASSERT_TRUE(_tree->SelectFolder(L"C:\\"));
  EXPECT_EQ(_tree->GetSelectedPath(), L"C:\\");
  ASSERT_TRUE(_tree->Up());
  EXPECT_EQ(_tree->GetSelectedPath(), L"");
  EXPECT_EQ(_owner.folders.back(), L"");
}

struct LimitCase {
  const char* name;
  int folders;
  int shown;
  size_t boxes;
};

class FolderTreeLimitTest : public FolderTreeViewTest,
                            public ::testing::WithParamInterface<LimitCase> {};

TEST_P(FolderTreeLimitTest, ShowsAtMostTheLimitAndSaysSoOnce) {
  const LimitCase& c = GetParam();
  MakeFolder(Sub(L"many"));
  for (int i = 0; i < c.folders; ++i) MakeFolder(Sub(L"many\\f" + std::to_wstring(10000 + i)));
  MakeTree();
  ASSERT_TRUE(_tree->Refresh(Sub(L"many")));
  // The box comes in the middle of the expansion; the expansion finishes.
  ExpandByNotice(Root());
  EXPECT_EQ(ChildCount(Root()), c.shown);
  EXPECT_TRUE(Expanded(Root()));
  const auto boxes = _boxes.Boxes();
  ASSERT_EQ(boxes.size(), c.boxes);
  if (c.boxes) {
    EXPECT_EQ(boxes[0].owner, _parent);
    EXPECT_EQ(boxes[0].style & (MB_ICONMASK | MB_TYPEMASK), UINT(MB_ICONEXCLAMATION | MB_OK));
    EXPECT_EQ(boxes[0].text,
              L"表示フォルダ数が上限(1000件)を超えました。\r\n1000件まで表示します。\r\n\r\n"
              L"(メッセージコード：FF00BB20)");
  }
  // The shown children are sorted, whatever the order of listing.
  const auto names = Children(Root());
  for (size_t i = 1; i < names.size(); ++i) EXPECT_LT(names[i - 1], names[i]);
}

const LimitCase kLimitCases[] = {
    {"exactly_the_limit", 1000, 1000, 0},
    {"one_beyond_the_limit", 1001, 1000, 1},
};
INSTANTIATE_TEST_SUITE_P(Limits, FolderTreeLimitTest, ::testing::ValuesIn(kLimitCases),
                         ovtest::CaseName());

struct SelectCase {
  const char* name;
  const wchar_t* wanted;    // relative to the root; null: the root itself
  const wchar_t* selected;  // relative to the root; null: the root; "" : fails
};

// Eight levels of folders 1\2\...\8 with a folder "side" beside the second
// level, and the tree over them.
class FolderTreeWalkTest : public FolderTreeViewTest {
 protected:
  void MakeDeepTree() {
    std::wstring path;
    for (const wchar_t* level : {L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8"}) {
      path += path.empty() ? level : std::wstring(L"\\") + level;
      MakeFolder(Sub(path));
    }
    MakeFolder(Sub(L"1\\side"));
    MakeTree();
  }
};

class FolderTreeSelectTest : public FolderTreeWalkTest,
                             public ::testing::WithParamInterface<SelectCase> {};

TEST_P(FolderTreeSelectTest, WalksDownToTheFolderOrItsNearestAncestor) {
  const SelectCase& c = GetParam();
  MakeDeepTree();
  ASSERT_TRUE(_tree->Refresh(_root));
  const std::wstring wanted = c.wanted ? Sub(c.wanted) : _root;
  const bool ok = _tree->SelectFolder(wanted);
  if (c.selected && !*c.selected) {
    EXPECT_FALSE(ok);
    EXPECT_TRUE(_owner.folders.empty());
    return;
  }
  ASSERT_TRUE(ok);
  const std::wstring expected = c.selected ? Sub(c.selected) : _root;
  EXPECT_EQ(_tree->GetSelectedPath(), expected);
  ASSERT_FALSE(_owner.folders.empty());
  EXPECT_EQ(_owner.folders.back(), expected) << "the owner lists the selected folder";
  EXPECT_EQ(_owner.targets.back(), 1);
  EXPECT_TRUE(Expanded(Selected()) || ChildrenField(Selected()) == 0);
  // Drop highlight follows the selection.
  EXPECT_TRUE(_tree->IsDropHighlighted(Selected()));
}

const SelectCase kSelectCases[] = {
    {"eight_levels_deep", L"1\\2\\3\\4\\5\\6\\7\\8", L"1\\2\\3\\4\\5\\6\\7\\8"},
    {"removed_last_folders", L"1\\2\\3\\gone\\deeper\\still", L"1\\2\\3"},
    {"the_root_itself", nullptr, nullptr},
    {"a_folder_beside_the_path", L"1\\side", L"1\\side"},
    {"a_file_names_its_folder", L"1\\2\\3\\4\\not a folder.mp3", L"1\\2\\3\\4"},
};
INSTANTIATE_TEST_SUITE_P(Paths, FolderTreeSelectTest, ::testing::ValuesIn(kSelectCases),
                         ovtest::CaseName());

// The same walks with the folders listed on the lister's thread: the walk
// waits for each level's listing and ends on the same folder.
class FolderTreeBackgroundSelectTest : public FolderTreeWalkTest,
                                       public ::testing::WithParamInterface<SelectCase> {};

TEST_P(FolderTreeBackgroundSelectTest, WalksDownWhenEachListingIsBack) {
  const SelectCase& c = GetParam();
  MakeDeepTree();
  _tree->SetBackgroundListing(true);
  ASSERT_TRUE(_tree->Refresh(_root));
  const std::wstring wanted = c.wanted ? Sub(c.wanted) : _root;
  const bool ok = _tree->SelectFolder(wanted);
  if (c.selected && !*c.selected) {
    EXPECT_FALSE(ok);
    EXPECT_FALSE(_tree->IsListing());
    EXPECT_TRUE(_owner.folders.empty());
    return;
  }
  ASSERT_TRUE(ok);
  if (c.wanted) {
    // Nothing is listed in place: the walk waits for the lister.
    EXPECT_TRUE(_tree->IsListing());
    EXPECT_TRUE(_owner.folders.empty());
    EXPECT_EQ(_tree->GetWantedPath(), wanted.find(L"gone") == std::wstring::npos &&
                                              wanted.find(L".mp3") == std::wstring::npos
                                          ? wanted
                                          : Sub(c.selected));
  }
  ASSERT_TRUE(PumpUntil([&] { return !_tree->IsListing(); }, 10000));
  const std::wstring expected = c.selected ? Sub(c.selected) : _root;
  EXPECT_EQ(_tree->GetSelectedPath(), expected);
  ASSERT_EQ(_owner.folders.size(), 1u);
  EXPECT_EQ(_owner.folders.back(), expected);
  // The selected folder opens once its own children are in.
  ASSERT_TRUE(PumpUntil([&] { return Expanded(Selected()) || ChildrenField(Selected()) == 0; }));
  EXPECT_TRUE(_tree->IsDropHighlighted(Selected()));
  if (c.wanted && std::wstring(c.wanted) == L"1\\side") {
    EXPECT_EQ(Children(TreeView_GetParent(Tree(), Selected())),
              (std::vector<std::wstring>{L"2", L"side"}))
        << "sorted once the listing is in";
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, FolderTreeBackgroundSelectTest, ::testing::ValuesIn(kSelectCases),
                         ovtest::CaseName());

// A rebuild while a walk waits: the old walk's listings are dropped, the
// new walk ends where it was sent, and a user's choice ends a waiting walk.
TEST_F(FolderTreeViewTest, ARebuildOrAChoiceDropsTheWaitingWalk) {
  MakeFolder(Sub(L"a"));
  MakeFolder(Sub(L"a\\deep"));
  MakeFolder(Sub(L"b"));
  MakeFolder(Sub(L"b\\deeper"));
  MakeTree();
  _tree->SetBackgroundListing(true);
  ASSERT_TRUE(_tree->Refresh(_root));
  ASSERT_TRUE(_tree->SelectFolder(Sub(L"a\\deep")));
  ASSERT_TRUE(_tree->IsListing());
  ASSERT_TRUE(_tree->Refresh(_root));
  EXPECT_FALSE(_tree->IsListing());
  ASSERT_TRUE(_tree->SelectFolder(Sub(L"b\\deeper")));
  ASSERT_TRUE(PumpUntil([&] { return !_tree->IsListing(); }, 10000));
  EXPECT_EQ(_tree->GetSelectedPath(), Sub(L"b\\deeper"));
  // Whatever the first walk's lister still sent is dropped.
  PumpUntil([] { return false; }, 300);
  EXPECT_EQ(_owner.folders, (std::vector<std::wstring>{Sub(L"b\\deeper")}));
  EXPECT_EQ(_tree->GetSelectedPath(), Sub(L"b\\deeper"));

  // The user picks a folder while a walk waits: the walk ends there.
  ASSERT_TRUE(_tree->Refresh(_root));
  ASSERT_TRUE(_tree->SelectFolder(Sub(L"a\\deep")));
  ASSERT_TRUE(_tree->IsListing());
  TreeView_SelectItem(Tree(), Root());
  Pump();
  EXPECT_FALSE(_tree->IsListing());
  PumpUntil([] { return false; }, 300);
  EXPECT_EQ(_tree->GetSelectedPath(), _root);
}

TEST_F(FolderTreeViewTest, RefusesPathsOutsideTheRootAndNowhere) {
  MakeFolder(Sub(L"inside"));
  MakeFolder(Sub(L"root"));
  MakeTree();
  ASSERT_TRUE(_tree->Refresh(Sub(L"root")));
  ovtest::CLogCapture log;
  const struct {
    const char* name;
    std::wstring path;
    const char* line;
  } cases[] = {
      {"outside the root", Sub(L"inside"), "ルートIDLが見つからない"},
      {"the root's parent", _root, "ルートIDLが見つからない"},
      {"empty", L"", "親フォルダ取得失敗"},
      {"no such drive", L"Q:\\none\\here", "親フォルダ取得失敗"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    log.Clear();
    EXPECT_FALSE(_tree->SelectFolder(c.path));
    EXPECT_TRUE(log.Contains(c.line)) << log.Text();
  }
  EXPECT_TRUE(_owner.folders.empty());
}

TEST_F(FolderTreeViewTest, BackReturnsThroughTheLastHundredChanges) {
  for (int i = 0; i <= 100; ++i) MakeFolder(Sub(L"f" + std::to_wstring(1000 + i)));
  MakeTree();
  ASSERT_TRUE(_tree->Refresh(_root));
  ASSERT_TRUE(_tree->SelectFolder(_root));
  // 101 changes: each remembers the folder it leaves (the root first).
  for (int i = 0; i <= 100; ++i)
    ASSERT_TRUE(_tree->SelectFolder(Sub(L"f" + std::to_wstring(1000 + i))));
  EXPECT_EQ(_tree->HistorySize(), 100u);
  for (int i = 99; i >= 0; --i) {
    ASSERT_TRUE(_tree->Back()) << i;
    ASSERT_EQ(_tree->GetSelectedPath(), Sub(L"f" + std::to_wstring(1000 + i)));
  }
  EXPECT_FALSE(_tree->Back()) << "the oldest change fell out";
  EXPECT_EQ(_tree->GetSelectedPath(), Sub(L"f1000"));
  EXPECT_EQ(_tree->HistorySize(), 0u) << "going back records nothing";
}

TEST_F(FolderTreeViewTest, BackAfterARebuildAndAfterAFolderWentAway) {
  MakeFolder(Sub(L"x"));
  MakeFolder(Sub(L"x\\y"));
  MakeFolder(Sub(L"z"));
  MakeTree();
  ASSERT_TRUE(_tree->Refresh(_root));
  ASSERT_TRUE(_tree->SelectFolder(Sub(L"x\\y")));
  ASSERT_TRUE(_tree->SelectFolder(Sub(L"z")));
  // F5: every item is deleted and made anew; the history keeps paths.
  ASSERT_TRUE(_tree->Refresh(L""));
  EXPECT_EQ(Text(Root()), _root.substr(_root.rfind(L'\\') + 1));
  ASSERT_TRUE(_tree->SelectFolder(Sub(L"z")));
  ASSERT_TRUE(_tree->Back());
  EXPECT_EQ(_tree->GetSelectedPath(), Sub(L"x\\y"));

  ASSERT_TRUE(_tree->SelectFolder(Sub(L"z")));
  ASSERT_TRUE(RemoveDirectoryW(Sub(L"x\\y").c_str()));
  ASSERT_TRUE(_tree->Refresh(L""));
  ASSERT_TRUE(_tree->Back());
  EXPECT_EQ(_tree->GetSelectedPath(), Sub(L"x")) << "the nearest existing ancestor";
}

TEST_F(FolderTreeViewTest, UpClimbsToTheRootAndStopsThere) {
  MakeFolder(Sub(L"p"));
  MakeFolder(Sub(L"p\\q"));
  MakeTree();
  EXPECT_FALSE(_tree->Up()) << "an empty tree";
  ASSERT_TRUE(_tree->Refresh(_root));
  ASSERT_TRUE(_tree->SelectFolder(Sub(L"p\\q")));
  ASSERT_TRUE(_tree->Up());
  EXPECT_EQ(_tree->GetSelectedPath(), Sub(L"p"));
  ASSERT_TRUE(_tree->Up());
  EXPECT_EQ(_tree->GetSelectedPath(), _root);
  ovtest::CLogCapture log;
  EXPECT_FALSE(_tree->Up());
  EXPECT_TRUE(log.Contains("_GetParentItem失敗")) << log.Text();
  EXPECT_EQ(_tree->GetSelectedPath(), _root);
}

TEST_F(FolderTreeViewTest, DisabledTreeRefusesToRebuild) {
  MakeTree();
  _tree->Enable(false);
  EXPECT_FALSE(_tree->IsEnabled());
  EXPECT_FALSE(_tree->Refresh(_root));
  EXPECT_EQ(Root(), nullptr);
  _tree->Enable(true);
  EXPECT_TRUE(_tree->Refresh(_root));
}

TEST_F(FolderTreeViewTest, WithoutAnOwnerTheSelectionIsOnlyLogged) {
  MakeFolder(Sub(L"k"));
  MakeTree();
  _tree->SetOwner(nullptr);
  ASSERT_TRUE(_tree->Refresh(_root));
  ovtest::CLogCapture log;
  ASSERT_TRUE(_tree->SelectFolder(Sub(L"k")));
  EXPECT_TRUE(log.Contains("コールバック情報未設定")) << log.Text();
}

TEST_F(FolderTreeViewTest, JapaneseFolderNamesShowAndComeBackAsPaths) {
  const std::wstring names[] = {L"音楽", L"アルバム　ソ表", L"ｶﾀｶﾅ・名前", L"Live 2026"};
  for (const auto& name : names) MakeFolder(Sub(name));
  MakeFolder(Sub(L"音楽\\邦楽"));
  MakeTree();
  ASSERT_TRUE(_tree->Refresh(_root));
  ASSERT_TRUE(_tree->SelectFolder(Sub(L"音楽\\邦楽")));
  EXPECT_EQ(_tree->GetSelectedPath(), Sub(L"音楽\\邦楽"));
  EXPECT_EQ(Text(Selected()), L"邦楽");
  const auto shown = Children(Root());
  for (const auto& name : names)
    EXPECT_NE(std::find(shown.begin(), shown.end(), name), shown.end()) << ToMultiByte(name);
  SetFocus(Tree());
  UpdateWindow(_parent);
  RedrawWindow(Tree(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Pump();
  std::string error;
  EXPECT_TRUE(ovtest::SaveXvfbScreenshot("folder_tree_japanese", &error)) << error;
}

TEST_F(FolderTreeViewTest, MouseGoesOnToTheParentAndRightClickMarksAnItem) {
  MakeFolder(Sub(L"left"));
  MakeFolder(Sub(L"right"));
  MakeTree();
  ASSERT_TRUE(_tree->Refresh(_root));
  ASSERT_TRUE(_tree->SelectFolder(Sub(L"left")));
  RECT item_rect = {};
  const HTREEITEM right = Child(Root(), L"right");
  ASSERT_TRUE(TreeView_GetItemRect(Tree(), right, &item_rect, TRUE));
  const POINT at = {item_rect.left + 3, (item_rect.top + item_rect.bottom) / 2};

  g_parent.mouse.clear();
  SendMessageW(Tree(), WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
  ASSERT_EQ(g_parent.mouse.size(), 1u);
  EXPECT_EQ(g_parent.mouse[0].message, UINT(WM_MOUSEMOVE));
  // The tree sits at (10, 10) of the parent's client area.
  EXPECT_EQ(LOWORD(g_parent.mouse[0].lParam), at.x + 10);
  EXPECT_EQ(HIWORD(g_parent.mouse[0].lParam), at.y + 10);

  // The control follows a right press until the button comes up.
  PostMessageW(Tree(), WM_RBUTTONUP, 0, MAKELPARAM(at.x, at.y));
  SendMessageW(Tree(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(at.x, at.y));
  Pump();
  EXPECT_EQ(_tree->GetRightClickedPath(), Sub(L"right"));
  EXPECT_TRUE(_tree->IsDropHighlighted(right));
  EXPECT_FALSE(_tree->IsDropHighlighted(Selected())) << "one highlight at a time";
  EXPECT_EQ(_tree->GetSelectedPath(), Sub(L"left")) << "a right click selects nothing";
  _tree->ForgetRightClicked();
  EXPECT_EQ(_tree->GetRightClickedPath(), L"");
  EXPECT_TRUE(_tree->IsDropHighlighted(Selected()));
  EXPECT_FALSE(_tree->IsDropHighlighted(right));

  POINT screen = at;
  ClientToScreen(Tree(), &screen);
  EXPECT_EQ(_tree->GetPathAt(screen), Sub(L"right"));
  _tree->HighlightAt(POINT{at.x + 10, at.y + 10});
  EXPECT_TRUE(_tree->IsDropHighlighted(right));
  EXPECT_FALSE(_tree->IsDropHighlighted(Selected()));
}

// The vertical bar of a tree of 60 folders, read back column by column from
// the control's frame: buttons, the thumb with 3-pixel caps, the page, and
// the hot and pressed looks.
TEST_F(FolderTreeViewTest, SkinnedBarsDrawFromBitmap131) {
  for (int i = 0; i < 60; ++i) MakeFolder(Sub(L"曲フォルダ" + std::to_wstring(100 + i)));
  MakeTree(true);
  ASSERT_NE(_tree->CustomScrollBar(), nullptr) << "bitmap 131 loads";
  ASSERT_TRUE(_tree->Refresh(_root));
  ASSERT_TRUE(_tree->SelectFolder(_root));
  ExpandByNotice(Root());
  ASSERT_EQ(ChildCount(Root()), 60);
  RedrawWindow(Tree(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  Pump();
  EXPECT_FALSE(GetWindowLongW(Tree(), GWL_STYLE) & WS_VSCROLL) << "no system bar";

  RECT frame;
  GetWindowRect(Tree(), &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int x = width - 11 + 5;  // the middle of the 11-pixel bar
  const auto column = [&] {
    std::vector<COLORREF> pixels(height);
    HDC dc = GetWindowDC(Tree());
    for (int y = 0; y < height; ++y) pixels[y] = GetPixel(dc, x, y);
    ReleaseDC(Tree(), dc);
    return pixels;
  };
  const COLORREF normal = RGB(214, 222, 235), hot = RGB(184, 204, 240),
                 pressed = RGB(120, 145, 200), arrow = RGB(40, 52, 80), cap = RGB(190, 204, 230),
                 middle = RGB(160, 178, 214), border = RGB(96, 110, 140), page = RGB(232, 236, 242);
  std::vector<COLORREF> bar = column();
  EXPECT_EQ(bar[2], normal) << "top button";
  EXPECT_EQ(bar[4], arrow) << "its arrow's tip";
  EXPECT_EQ(bar[height - 3], normal) << "bottom button";
  EXPECT_EQ(bar[height - 5], arrow);
  // The thumb at the top of the track.
  EXPECT_EQ(bar[11], border);
  EXPECT_EQ(bar[12], cap);
  EXPECT_EQ(bar[13], cap);
  EXPECT_EQ(bar[14], middle) << "the cap keeps its 3 pixels";
  int end = 14;
  while (end < height - 11 && bar[end] != page) ++end;
  ASSERT_LT(end, height - 11) << "page below the thumb";
  EXPECT_GT(end - 11, 18) << "the thumb is longer than its picture";
  EXPECT_EQ(bar[end - 1], border);
  EXPECT_EQ(bar[end - 2], cap);
  EXPECT_EQ(bar[end - 3], cap);
  EXPECT_EQ(bar[end - 4], middle);
  std::string error;
  EXPECT_TRUE(ovtest::SaveXvfbScreenshot("folder_tree_skinned_bars", &error)) << error;

  // Hover over the bottom button, then press it: the tree scrolls a line.
  POINT down = {x, height - 5};
  down.x += frame.left;
  down.y += frame.top;
  SetCursorPos(down.x, down.y);
  SendMessageW(Tree(), WM_NCMOUSEMOVE, HTVSCROLL, MAKELPARAM(down.x, down.y));
  // The hover timer finds the part under the pointer.
  EXPECT_TRUE(PumpUntil([&] { return column()[height - 3] == hot; }));
  const HTREEITEM top = TreeView_GetFirstVisible(Tree());
  SendMessageW(Tree(), WM_NCLBUTTONDOWN, HTVSCROLL, MAKELPARAM(down.x, down.y));
  EXPECT_EQ(column()[height - 3], pressed);
  POINT client = down;
  ScreenToClient(Tree(), &client);
  SendMessageW(Tree(), WM_LBUTTONUP, 0, MAKELPARAM(client.x, client.y));
  EXPECT_NE(TreeView_GetFirstVisible(Tree()), top) << "the request reached the tree";
  EXPECT_EQ(ui::CCustomScrollBarBase::GetScrollPos(Tree(), SB_VERT), 1) << "the thumb follows";
  EXPECT_EQ(column()[12], page) << "the thumb left the top";

  // The wheel goes through the control and the bar follows it.
  _tree->ScrollByWheel(10);
  EXPECT_EQ(ui::CCustomScrollBarBase::GetScrollPos(Tree(), SB_VERT), 11);
  _tree->ScrollByWheel(-100);
  EXPECT_EQ(ui::CCustomScrollBarBase::GetScrollPos(Tree(), SB_VERT), 0);
  EXPECT_EQ(TreeView_GetFirstVisible(Tree()), Root());
}

// Each resize makes the skinned bar read the control's scroll information
// again, which shows and hides the system bars and resizes the control in
// turn: every resize must end, with the bar shown exactly when the rows
// overflow.
TEST_F(FolderTreeViewTest, ResizingASkinnedTreeEnds) {
  for (int i = 0; i < 40; ++i) MakeFolder(Sub(L"r" + std::to_wstring(100 + i)));
  MakeTree(true);
  ASSERT_NE(_tree->CustomScrollBar(), nullptr);
  ASSERT_TRUE(_tree->Refresh(_root));
  ExpandByNotice(Root());
  const int rows = 41;
  const int row_height = TreeView_GetItemHeight(Tree());
  ASSERT_GT(row_height, 0);
  const struct {
    const char* name;
    int width, height;
  } cases[] = {
      {"smaller", 220, 150},
      {"taller than the rows", 300, rows * row_height + 40},
      {"back to overflowing", 300, 280},
      {"tiny", 30, 30},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MoveWindow(Tree(), 10, 10, c.width, c.height, TRUE);
    Pump();
    RECT client;
    GetClientRect(Tree(), &client);
    const bool overflow = rows * row_height > c.height;
    EXPECT_EQ(client.right, overflow ? c.width - 11 : c.width);
    EXPECT_FALSE(GetWindowLongW(Tree(), GWL_STYLE) & WS_VSCROLL) << "the system bar stays hidden";
  }
}

// A drag begins with real input only; the notice is built here.
TEST_F(FolderTreeViewTest, BeginDragRemembersTheItemOnlyWhenAllowed) {
  MakeFolder(Sub(L"d"));
  MakeTree();
  ASSERT_TRUE(_tree->Refresh(_root));
  ExpandByNotice(Root());
  const HTREEITEM item = Child(Root(), L"d");
  for (bool allowed : {false, true}) {
    SCOPED_TRACE(allowed);
    _tree->SetDraggingAllowed(allowed);
    NMTREEVIEWW notify = {};
    notify.hdr.hwndFrom = Tree();
    notify.hdr.code = TVN_BEGINDRAGW;
    notify.itemNew.hItem = item;
    SendMessageW(_parent, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notify));
    EXPECT_EQ(_tree->GetDraggedPath(), allowed ? Sub(L"d") : L"");
  }
}

// Which slot each notice reached, narrow codes and wide alike.
class SlotTree final : public ui::CTreeViewBase {
 public:
  std::vector<int> slots;

 protected:
  LRESULT OnSelChanging(NMTREEVIEWW*) override { return Hit(4); }
  LRESULT OnSelChanged(NMTREEVIEWW*) override { return Hit(5); }
  LRESULT OnItemExpanding(NMTREEVIEWW*) override { return Hit(6); }
  LRESULT OnItemExpanded(NMTREEVIEWW*) override { return Hit(7); }
  LRESULT OnBeginDrag(NMTREEVIEWW*) override { return Hit(8); }
  LRESULT OnDeleteItem(NMTREEVIEWW*) override { return Hit(9); }

 private:
  LRESULT Hit(int slot) {
    slots.push_back(slot);
    return 100 + slot;
  }
};

TEST_F(FolderTreeViewTest, NoticesReachTheirSlotsInBothCharacterSets) {
  SlotTree tree;
  ASSERT_TRUE(tree.Create(_parent, RECT{0, 0, 100, 100}, WS_CHILD | WS_VISIBLE, 0));
  const struct {
    const char* name;
    UINT code;
    int slot;  // 0: none
  } cases[] = {
      {"sel changing A", TVN_SELCHANGINGA, 4}, {"sel changing W", TVN_SELCHANGINGW, 4},
      {"sel changed A", TVN_SELCHANGEDA, 5},   {"sel changed W", TVN_SELCHANGEDW, 5},
      {"expanding A", TVN_ITEMEXPANDINGA, 6},  {"expanding W", TVN_ITEMEXPANDINGW, 6},
      {"expanded A", TVN_ITEMEXPANDEDA, 7},    {"expanded W", TVN_ITEMEXPANDEDW, 7},
      {"begin drag A", TVN_BEGINDRAGA, 8},     {"begin drag W", TVN_BEGINDRAGW, 8},
      {"delete item A", TVN_DELETEITEMA, 9},   {"delete item W", TVN_DELETEITEMW, 9},
      {"custom draw", UINT(NM_CUSTOMDRAW), 0}, {"right click", UINT(NM_RCLICK), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    tree.slots.clear();
    NMTREEVIEWW notify = {};
    notify.hdr.hwndFrom = tree.Handle();
    notify.hdr.code = c.code;
    const LRESULT result = tree.OnNotify(WM_NOTIFY, 0, &notify.hdr);
    EXPECT_EQ(result, c.slot ? 100 + c.slot : 0);
    EXPECT_EQ(tree.slots, c.slot ? std::vector<int>{c.slot} : std::vector<int>{});
  }
  // Another control's notice, another message, no record: nothing.
  NMTREEVIEWW other = {};
  other.hdr.hwndFrom = _parent;
  other.hdr.code = TVN_SELCHANGEDW;
  tree.slots.clear();
  EXPECT_EQ(tree.OnNotify(WM_NOTIFY, 0, &other.hdr), 0);
  other.hdr.hwndFrom = tree.Handle();
  EXPECT_EQ(tree.OnNotify(WM_COMMAND, 0, &other.hdr), 0);
  EXPECT_EQ(tree.OnNotify(WM_NOTIFY, 0, nullptr), 0);
  EXPECT_TRUE(tree.slots.empty());

  // The control's own messages pass through the subclass.
  TVITEMW item = {};
  item.mask = TVIF_TEXT;
  wchar_t text[] = L"one";
  item.pszText = text;
  TVINSERTSTRUCTW insert = {TVI_ROOT, TVI_LAST, {}};
  insert.item = item;
  EXPECT_NE(SendMessageW(tree.Handle(), TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)), 0);
  EXPECT_EQ(TreeView_GetCount(tree.Handle()), 1u);
  // Destroying the control takes the object off it.
  const HWND gone = tree.Handle();
  DestroyWindow(gone);
  EXPECT_EQ(GetPropW(gone, L"CTreeViewBase"), nullptr);
}

}  // namespace
