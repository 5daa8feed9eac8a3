// The picture cache: sharing by case-folded name, counting per owner,
// release, two threads, missing pictures (their box shown with no lock
// held) and language pictures.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "Handle.h"
#include "MessageBox.h"
#include "MessageBoxCapture.h"
#include "SkinDefinition.h"
#include "SkinException.h"
#include "SkinImage.h"
#include "StringUtil.h"
#include "Threads.h"
#include "UiEnvironment.h"

namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new uitest::CUiEnvironment);

// Counts the decodes that reach the real source.
class CCountingImageSource final : public ui::ISkinImageSource {
 public:
  CCountingImageSource() : _previous(ui::SetSkinImageSource(this)) {}
  ~CCountingImageSource() override { ui::SetSkinImageSource(_previous); }

  bool Decode(const std::string& name, bool language, lib::wfc::CDIB* out,
              std::string* error) override {
    ++decodes;
    return ui::DefaultSkinImageSource().Decode(name, language, out, error);
  }

  std::atomic<int> decodes{0};

 private:
  ui::ISkinImageSource* _previous;
};

TEST(SkinImageTest, OneOwnerSharesCaseFoldedNamesAndCountsThemOnce) {
  ui::CSkinImageOwner item;
  item.Acquire("test.png");
  item.Acquire("TEST.PNG");
  item.Acquire("Test.png");
  EXPECT_EQ(item.Keys(), (ui::SkinImageOwnerList{"TEST.PNG"}));
  EXPECT_EQ(ui::CCachedDIBImpl::Users("tEsT.pNg"), 1);
  ui::CCachedDIB handle("Test.PNG");
  lib::wfc::CDIB* dib = handle.Lock();
  ASSERT_NE(dib, nullptr);
  EXPECT_EQ(dib->Width(), 64);
  EXPECT_EQ(dib->Height(), 72);
  EXPECT_EQ(dib->BitsPerPixel(), 24);
  EXPECT_EQ(dib->GetPixel(0, 30), RGB(200, 0, 0));  // the grid's top-left corner
  EXPECT_EQ(dib->GetPixel(30, 30), RGB(0, 200, 0));
  handle.Unlock();
  item.ReleaseAll();
  EXPECT_EQ(ui::CCachedDIBImpl::Users("TEST.PNG"), 0);
}

TEST(SkinImageTest, TwoWindowsHoldTwoCountsAndTheLastFreesThePicture) {
  auto first = std::make_unique<ui::CSkinImageOwner>();
  auto second = std::make_unique<ui::CSkinImageOwner>();
  first->Acquire("Test.png");
  second->Acquire("test.PNG");
  EXPECT_EQ(ui::CCachedDIBImpl::Users("Test.png"), 2);
  first.reset();
  EXPECT_EQ(ui::CCachedDIBImpl::Users("Test.png"), 1);
  ui::CCachedDIB handle("Test.png");
  EXPECT_NE(handle.Lock(), nullptr);
  handle.Unlock();
  second.reset();
  EXPECT_EQ(ui::CCachedDIBImpl::Users("Test.png"), 0);
}

TEST(SkinImageTest, APictureIsDecodedOnceForTwoThreads) {
  CCountingImageSource counting;
  ui::CSkinImageOwner owners[8];
  {
    std::thread threads[8];
    for (int i = 0; i < 8; ++i) {
      threads[i] =
          std::thread([&owners, i] { owners[i].Acquire(i % 2 ? "test.png" : "TEST.png"); });
    }
    for (auto& t : threads) t.join();
  }
  EXPECT_EQ(counting.decodes.load(), 1);
  EXPECT_EQ(ui::CCachedDIBImpl::Users("Test.png"), 8);
  for (auto& owner : owners) owner.ReleaseAll();
  EXPECT_EQ(ui::CCachedDIBImpl::Users("Test.png"), 0);
  ui::CSkinImageOwner again;
  again.Acquire("Test.png");
  EXPECT_EQ(counting.decodes.load(), 2);  // freed, so decoded anew
}

TEST(SkinImageTest, AHandleOnANameNobodyAcquiredGivesNoBitmap) {
  ui::CCachedDIB handle("NobodyHasThis.png");
  EXPECT_EQ(handle.Lock(), nullptr);
  EXPECT_FALSE(handle.IsLocked());
  handle.Unlock();
}

// Tries, from another thread, to take a picture while the box is up: with
// the cache lock held it could not finish.
std::atomic<bool> g_other_thread_finished{false};
int AcquireWhileTheBoxIsUp(HWND, const char*, const char*, UINT) {
  CHandle done(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  std::thread other([event = done.Get()] {
    ui::CSkinImageOwner owner;
    owner.Acquire("Test.png");
    SetEvent(event);
  });
  g_other_thread_finished = WaitForSingleObject(done.Get(), 10000) == WAIT_OBJECT_0;
  // A thread blocked on the lock would never end: leave it rather than hang.
  if (g_other_thread_finished) {
    other.join();
  } else {
    other.detach();
    done.Detach();
  }
  return IDOK;
}

TEST(SkinImageTest, AMissingPictureShowsItsBoxWithoutTheCacheLock) {
  {
    ovtest::CMessageBoxCapture capture;
    ui::CSkinImageOwner owner;
    try {
      owner.Acquire("Missing.png");
      FAIL() << "acquired";
    } catch (const ui::CSkinWindowException& e) {
      EXPECT_STREQ(e.what(), "Missing.pngが読み込めません.");
    }
    EXPECT_TRUE(owner.Keys().empty());
    EXPECT_EQ(ui::CCachedDIBImpl::Users("Missing.png"), 0);
    ASSERT_EQ(capture.Boxes().size(), 1u);
    EXPECT_EQ(capture.Boxes()[0].caption, L"Skin Load");
    EXPECT_EQ(ToMultiByte(capture.Boxes()[0].text), "Missing.pngが読み込めません.");
  }
  const auto previous = lib::wfc::SetMessageBoxHandler(&AcquireWhileTheBoxIsUp);
  ui::CSkinImageOwner owner;
  EXPECT_THROW(owner.Acquire("AlsoMissing.png"), ui::CSkinWindowException);
  lib::wfc::SetMessageBoxHandler(previous);
  EXPECT_TRUE(g_other_thread_finished);
}

// The shipped main program's skin module stands in as the language module.
HMODULE SkinModule(const char* program) {
  const std::string path =
      lib::wfc::GetModuleFolder(GetModuleHandleA(nullptr)) + "skin_" + program + ".dll";
  return LoadLibraryA(path.c_str());
}

TEST(SkinImageTest, LangNamesLoadWithoutTheSuffixFromTheLanguageModule) {
  const HMODULE language = SkinModule("main");
  ASSERT_NE(language, nullptr);
  ui::SetLanguageModule(language);
  std::unique_ptr<lib::wfc::CDIB> parts;
  EXPECT_NO_THROW(parts = ui::LoadSkinImage("Parts.png/LANG"));
  ovtest::CMessageBoxCapture capture;
  // Without the suffix the picture is looked for in the program's own module.
  EXPECT_THROW(ui::LoadSkinImage("Parts.png"), ui::CSkinWindowException);
  ui::SetLanguageModule(nullptr);
  ASSERT_TRUE(parts);
  EXPECT_EQ(parts->Width(), 640);
  EXPECT_EQ(capture.Boxes().size(), 1u);
  // Without a language module a language picture comes from the skin module.
  EXPECT_EQ(ui::LoadSkinImage("test.png/lang")->Width(), 64);
}

TEST(SkinImageTest, TheSkinFolderServesPicturesWhenSwitched) {
  ovtest::CMessageBoxCapture capture;
  ui::SetSkinFromResources(false);
  std::string error;
  try {
    ui::LoadSkinImage("NotInTheFolder.png");
  } catch (const ui::CSkinWindowException& e) {
    error = e.what();
  }
  ui::SetSkinFromResources(true);
  const std::string expected = lib::wfc::GetModuleFolder(GetModuleHandleA(nullptr)) +
                               "Skin\\NotInTheFolder.pngが読み込めません.";
  EXPECT_EQ(error, expected);
}

}  // namespace
