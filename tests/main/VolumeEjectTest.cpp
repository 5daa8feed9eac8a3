// Eject through a scripted device (the system here cannot dismount or eject)
// and the drive checks on a real test card.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "VolumeEject.h"

namespace {

// Records every device call and answers as the test scripts it.
class CScriptedDevice final : public CVolumeDevice {
 public:
  UINT type = DRIVE_REMOVABLE;
  int lock_failures = 0;  // locks that fail before one succeeds
  bool dismount_fails = false;
  bool close_fails = false;
  std::vector<std::string> calls;
  std::vector<DWORD> pauses;
  DWORD opened_access = 0;

  UINT DriveType(const char* root) override {
    calls.push_back(std::string("type ") + root);
    return type;
  }
  HANDLE Open(const char* path, DWORD access) override {
    calls.push_back(std::string("open ") + path);
    opened_access = access;
    return kVolume;
  }
  bool Control(HANDLE volume, DWORD code, void*, DWORD) override {
    EXPECT_EQ(kVolume, volume);
    calls.push_back(Name(code));
    bool ok = true;
    if (code == FSCTL_LOCK_VOLUME && lock_failures > 0) {
      --lock_failures;
      ok = false;
    }
    if (code == FSCTL_DISMOUNT_VOLUME && dismount_fails) ok = false;
    if (!ok) SetLastError(ERROR_ACCESS_DENIED);
    return ok;
  }
  bool Close(HANDLE volume) override {
    EXPECT_EQ(kVolume, volume);
    calls.push_back("close");
    if (close_fails) SetLastError(ERROR_INVALID_HANDLE);
    return !close_fails;
  }
  void Pause(DWORD ms) override { pauses.push_back(ms); }

  static inline const HANDLE kVolume = reinterpret_cast<HANDLE>(0x1234);

 private:
  static std::string Name(DWORD code) {
    switch (code) {
      case FSCTL_LOCK_VOLUME:
        return "lock";
      case FSCTL_UNLOCK_VOLUME:
        return "unlock";
      case FSCTL_DISMOUNT_VOLUME:
        return "dismount";
      case IOCTL_STORAGE_EJECT_MEDIA:
        return "eject";
      case IOCTL_STORAGE_MEDIA_REMOVAL:
        return "removal";
      default:
        return "other";
    }
  }
};

class EjectTest : public ::testing::Test {
 protected:
  void SetUp() override { SetVolumeDevice(&device_); }
  void TearDown() override { SetVolumeDevice(nullptr); }
  CScriptedDevice device_;
  ovtest::CLogCapture log_;
};

using Calls = std::vector<std::string>;

TEST_F(EjectTest, ARemovableCardIsLockedDismountedEjectedAndClosed) {
  EXPECT_EQ(1, EjectVolume('e'));
  EXPECT_EQ((Calls{"type e:\\", "open \\\\.\\e:", "unlock", "lock", "dismount", "eject", "removal",
                   "unlock", "close"}),
            device_.calls);
  EXPECT_EQ(static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE), device_.opened_access);
  EXPECT_TRUE(device_.pauses.empty());
}

TEST_F(EjectTest, ACdRomIsOpenedForReadingOnly) {
  device_.type = DRIVE_CDROM;
  EXPECT_EQ(1, EjectVolume('F'));
  EXPECT_EQ(static_cast<DWORD>(GENERIC_READ), device_.opened_access);
}

TEST_F(EjectTest, OtherDriveTypesAreRefusedBeforeAnyHandleIsOpened) {
  for (const UINT type : {UINT{DRIVE_FIXED}, UINT{DRIVE_REMOTE}, UINT{DRIVE_NO_ROOT_DIR}}) {
    device_.type = type;
    device_.calls.clear();
    EXPECT_EQ(0, EjectVolume('C'));
    EXPECT_EQ(Calls{"type C:\\"}, device_.calls) << type;
  }
  EXPECT_TRUE(log_.Contains("EjectVolume ボリューム種別NG (3)")) << log_.Text();
}

TEST_F(EjectTest, ALockThatNeverComesGivesUpAfterTwentyTriesAndLeavesTheVolumeMounted) {
  device_.lock_failures = 1000;
  EXPECT_EQ(0, EjectVolume('e'));
  EXPECT_EQ(20u, device_.pauses.size());
  for (const DWORD pause : device_.pauses) EXPECT_EQ(500u, pause);
  Calls expected = {"type e:\\", "open \\\\.\\e:", "unlock"};
  expected.insert(expected.end(), 20, "lock");
  expected.insert(expected.end(), {"unlock", "close"});
  EXPECT_EQ(expected, device_.calls);
  EXPECT_TRUE(log_.Contains("DeviceIoControl - FSCTL_LOCK_VOLUME ERR:0x00000005")) << log_.Text();
}

TEST_F(EjectTest, ALockThatComesLateStillEjects) {
  device_.lock_failures = 19;
  EXPECT_EQ(1, EjectVolume('e'));
  EXPECT_EQ(19u, device_.pauses.size());
}

TEST_F(EjectTest, AFailedDismountOrCloseIsNoEject) {
  device_.dismount_fails = true;
  EXPECT_EQ(0, EjectVolume('e'));
  EXPECT_EQ((Calls{"type e:\\", "open \\\\.\\e:", "unlock", "lock", "dismount", "unlock", "close"}),
            device_.calls);
  EXPECT_TRUE(log_.Contains("DeviceIoControl - FSCTL_DISMOUNT_VOLUME ERR:0x00000005"));

  device_.dismount_fails = false;
  device_.close_fails = true;
  EXPECT_EQ(0, EjectVolume('e'));
}

// The system itself, on a card of the test prefix: Wine locks the volume but
// cannot dismount it, so the eject fails and the card stays usable.
TEST(DriveTest, TheSystemsEjectFailsHereAndLeavesTheCardUsable) {
  ovtest::CTestCard card;
  ASSERT_TRUE(card.IsValid());
  EXPECT_EQ(0, EjectVolume(card.Letter()));
  EXPECT_TRUE(CheckDriveWritable(card.Letter()));
}

TEST(DriveTest, AWritableCardLeavesNoTestFileBehind) {
  ovtest::CTestCard card;
  ASSERT_TRUE(card.IsValid());
  // A test file left over from an interrupted check is replaced, not a failure.
  ASSERT_TRUE(ovtest::WriteFileBytes(card.Path("WritableCheck.test"), "old"));
  EXPECT_TRUE(CheckDriveWritable(static_cast<char>(card.Letter() | 0x20)));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(card.Path("WritableCheck.test").c_str()));
}

TEST(DriveTest, LettersOutsideTheAlphabetAreNeitherWritableNorMeasured) {
  for (const char drive : {'\0', '1', '@', '[', '`', '{'}) {
    EXPECT_FALSE(CheckDriveWritable(drive)) << static_cast<int>(drive);
    EXPECT_EQ(0u, GetDriveFreeSpace(drive)) << static_cast<int>(drive);
    EXPECT_EQ(INVALID_HANDLE_VALUE, OpenVolume(drive)) << static_cast<int>(drive);
  }
}

TEST(DriveTest, FreeSpaceIsThatOfTheCardsVolume) {
  ovtest::CTestCard card;
  ASSERT_TRUE(card.IsValid());
  ULARGE_INTEGER available = {};
  ASSERT_TRUE(GetDiskFreeSpaceExA(card.Root().c_str(), &available, nullptr, nullptr));
  const uint64_t measured = GetDriveFreeSpace(card.Letter());
  EXPECT_GT(measured, 0u);
  // Other processes write meanwhile; the two readings lie close together.
  const uint64_t difference =
      measured > available.QuadPart ? measured - available.QuadPart : available.QuadPart - measured;
  EXPECT_LT(difference, uint64_t{1} << 30);
  // A letter with no drive behind it.
  EXPECT_EQ(0u, GetDriveFreeSpace('Q'));
}

}  // namespace
