#include "hotkey/hotkey_slots.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "common/text.h"
#include "fake_key_names.h"
#include "hotkey/hotkey_bindings.h"
#include "model/subsystems.h"
#include "platform/platform.h"

namespace {

using namespace tunelet;
namespace fs = std::filesystem;

std::vector<uint8_t> Slot(const std::string& text) {
  std::vector<uint8_t> slot(kHotKeySlotSize, 0);
  slot[0] = uint8_t(text.size());
  std::copy(text.begin(), text.end(), slot.begin() + 1);
  return slot;
}

class HotKeyFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tunelet-hotkeys-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    path_ = (dir_ / "hotkeys.dat").string();
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::u16string Path() const { return Utf8ToUtf16(path_); }
  void Write(const std::vector<uint8_t>& bytes) const {
    std::ofstream(path_, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  std::vector<uint8_t> Read() const {
    std::ifstream f(path_, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
  }
  // A file whose slot 3 holds Ctrl+F5, padded with pad bytes to size.
  std::vector<uint8_t> FileWithCtrlF5ForQuickInfo(size_t size) const {
    std::vector<uint8_t> bytes(3 * kHotKeySlotSize, 0);
    const std::vector<uint8_t> slot = Slot("Ctrl+F5");
    bytes.insert(bytes.end(), slot.begin(), slot.end());
    bytes.resize(size, 0x5A);
    return bytes;
  }
  static HotKeySlots SlotsWith(size_t action, std::u16string_view text) {
    HotKeySlots s;
    s.SetSlotText(action, text);
    return s;
  }

  fs::path dir_;
  std::string path_;
};

TEST(HotKeySlotText, ThirtyCharactersAreKeptWholeAndLongerTextsAreCut) {
  HotKeySlots slots;
  const std::u16string thirty = u"Ctrl+Shift+Alt+Win+Page Down12";
  ASSERT_EQ(thirty.size(), 30u);
  slots.SetSlotText(1, thirty);
  EXPECT_EQ(slots.SlotText(1), thirty);
  slots.SetSlotText(2, thirty + u"XYZ");
  EXPECT_EQ(slots.SlotText(2), thirty);
  EXPECT_EQ(slots.bytes()[2 * kHotKeySlotSize], 30);
  // Neighbours untouched.
  EXPECT_TRUE(slots.IsEmpty(0));
  EXPECT_TRUE(slots.IsEmpty(3));
  slots.ClearSlot(1);
  for (size_t i = kHotKeySlotSize; i < 2 * kHotKeySlotSize; ++i) EXPECT_EQ(slots.bytes()[i], 0) << i;
}

TEST(HotKeySlotText, ALengthByteAboveThirtyNeverReadsIntoTheNextSlot) {
  HotKeySlots::Bytes bytes{};
  bytes.fill('A');
  bytes[0] = 255;
  HotKeySlots slots;
  slots.set_bytes(bytes);
  EXPECT_EQ(slots.SlotText(0), std::u16string(30, u'A'));
  EXPECT_EQ(slots.SlotText(5), std::u16string(30, u'A'));  // the sixth, the last
  EXPECT_EQ(slots.SlotText(6), u"");                       // no such action
}

TEST(HotKeySlotPath, TheFileLiesBesideThePlugIn) {
  EXPECT_EQ(HotKeyFilePath(u"C:\\Talkeo\\Plugins\\Tunelet.dll"), u"C:\\Talkeo\\Plugins\\hotkeys.dat");
  EXPECT_EQ(HotKeyFilePath(u"/opt/p/Tunelet.dll"), u"/opt/p/hotkeys.dat");
  EXPECT_EQ(HotKeyFilePath(u"C:Tunelet.dll"), u"C:hotkeys.dat");
}

TEST_F(HotKeyFile, AMissingFileIsCreatedEmptyAndTheSlotsStay) {
  HotKeySlots slots = SlotsWith(0, u"Alt+Q");
  EXPECT_FALSE(LoadHotKeySlots(slots, Path()));
  EXPECT_TRUE(fs::exists(path_));
  EXPECT_EQ(fs::file_size(path_), 0u);
  EXPECT_EQ(slots.SlotText(0), u"Alt+Q");
}

TEST_F(HotKeyFile, ShortFilesLeaveTheSlotsAndFullOrLongerOnesAreReadFromTheirStart) {
  for (size_t size : {size_t(0), size_t(100), size_t(154)}) {
    Write(FileWithCtrlF5ForQuickInfo(size));
    HotKeySlots slots = SlotsWith(0, u"Alt+Q");
    EXPECT_FALSE(LoadHotKeySlots(slots, Path())) << size;
    EXPECT_EQ(slots.SlotText(0), u"Alt+Q") << size;
    EXPECT_TRUE(slots.IsEmpty(3)) << size;
  }
  for (size_t size : {size_t(155), size_t(200)}) {
    Write(FileWithCtrlF5ForQuickInfo(size));
    HotKeySlots slots = SlotsWith(0, u"Alt+Q");
    EXPECT_TRUE(LoadHotKeySlots(slots, Path())) << size;
    EXPECT_TRUE(slots.IsEmpty(0)) << size;
    EXPECT_EQ(slots.SlotText(3), u"Ctrl+F5") << size;
    // Slot 4 is the padding: a length byte of 0x5A reads as 30 characters.
    EXPECT_EQ(slots.SlotText(4), std::u16string(30, u'Z')) << size;
  }
}

TEST_F(HotKeyFile, AnOlderVersionsFileOfFiveSlotsLeavesTheSixthEmptyAndItsWritesKeepTheSixth) {
  Write(FileWithCtrlF5ForQuickInfo(kOlderHotKeyFileSize));
  HotKeySlots slots = SlotsWith(5, u"Alt+P");
  ASSERT_TRUE(LoadHotKeySlots(slots, Path()));
  EXPECT_EQ(slots.SlotText(3), u"Ctrl+F5");
  EXPECT_TRUE(slots.IsEmpty(5));

  // Ours: six slots. An older version then writes its five over the start,
  // as it always has: the sixth survives.
  slots.SetSlotText(5, u"Alt+P");
  ASSERT_TRUE(SaveHotKeySlots(slots, Path()));
  EXPECT_EQ(fs::file_size(path_), 186u);
  const HotKeySlots older = SlotsWith(0, u"Ctrl+F1");
  ASSERT_TRUE(platform::OverwriteFileStart(Path(), older.bytes().data(), 155));
  HotKeySlots back;
  ASSERT_TRUE(LoadHotKeySlots(back, Path()));
  EXPECT_EQ(back.SlotText(0), u"Ctrl+F1");
  EXPECT_TRUE(back.IsEmpty(3));
  EXPECT_EQ(back.SlotText(5), u"Alt+P");
}

TEST_F(HotKeyFile, SavingWritesTheSixSlotsAndKeepsWhatALongerFileHasBeyond) {
  const HotKeySlots slots = SlotsWith(4, u"Ctrl+F12");
  ASSERT_TRUE(SaveHotKeySlots(slots, Path()));
  std::vector<uint8_t> expected(kHotKeyFileSize, 0);
  const std::vector<uint8_t> slot = Slot("Ctrl+F12");
  std::copy(slot.begin(), slot.end(), expected.begin() + 4 * kHotKeySlotSize);
  EXPECT_EQ(Read(), expected);

  Write(std::vector<uint8_t>(200, 0x77));
  ASSERT_TRUE(SaveHotKeySlots(slots, Path()));
  expected.resize(200, 0x77);
  EXPECT_EQ(Read(), expected);

  HotKeySlots back;
  ASSERT_TRUE(LoadHotKeySlots(back, Path()));
  EXPECT_EQ(back.SlotText(4), u"Ctrl+F12");
}

TEST(HotKeyBindings, OnlySlotsThatParseToAModifierAndAKeyAreRegistered) {
  hotkey_test::FakeKeyNames names;
  HotKeySlots slots;
  slots.SetSlotText(0, u"F5");        // no modifier
  slots.SetSlotText(1, u"Hyper+F1");  // unknown word
  slots.SetSlotText(2, u"Ctrl+Alt");  // modifier as the key
  slots.SetSlotText(3, u"Ctrl+F5");
  slots.SetSlotText(4, u"Alt+Q");
  const std::vector<HotKeyBinding> expected = {{3, kShortcutCtrl | 0x74}, {4, kShortcutAlt | 'Q'}};
  EXPECT_EQ(BindingsToRegister(slots, names), expected);
}

TEST(HotKeyBindings, GarbageFilesNeverGiveACombinationWithoutAModifier) {
  hotkey_test::FakeKeyNames names;
  std::mt19937 random(11);
  const std::string alphabet = "CtrlShiftAltWin+ F5Q\x80\xC0\xFF";
  for (int round = 0; round < 300; ++round) {
    HotKeySlots::Bytes bytes{};
    for (auto& b : bytes)
      b = round % 2 ? uint8_t(random()) : uint8_t(alphabet[random() % alphabet.size()]);
    for (size_t a = 0; a < kHotKeyActionCount; ++a) bytes[a * kHotKeySlotSize] = uint8_t(random() % 40);
    HotKeySlots slots;
    slots.set_bytes(bytes);
    for (const HotKeyBinding& b : BindingsToRegister(slots, names)) {
      EXPECT_NE(ShortcutModifiers(b.shortcut), 0u);
      EXPECT_NE(ShortcutKey(b.shortcut), 0u);
    }
  }
}

// What Wine's layout does to some keys: no name, a name a lower virtual key
// has too, a name that is the separator itself.
TEST(HotKeyBindings, OnlyCombinationsWhoseSlotTextNamesThemAgainReadBack) {
  hotkey_test::FakeKeyNames names;
  EXPECT_TRUE(ReadsBackFromSlot(kShortcutCtrl | 0x74, names));               // Ctrl+F5
  EXPECT_TRUE(ReadsBackFromSlot(kShortcutCtrl | 0x6B, names));               // Ctrl+Num +
  EXPECT_TRUE(ReadsBackFromSlot(kShortcutCtrl | kShortcutShift | 0x21, names));  // Page Up, not Num 9
  EXPECT_TRUE(ReadsBackFromSlot(kShortcutCtrl | 0xBB, names));               // "=" is its own so far
  EXPECT_FALSE(ReadsBackFromSlot(kShortcutCtrl | 0x60, names));              // no scan code: "Ctrl+"

  names.AddKey(0x7C, 0x64, u"");                                             // F13: a scan code, no name
  EXPECT_EQ(ShortcutToText(kShortcutCtrl | 0x7C, names), u"Ctrl+");
  EXPECT_FALSE(ReadsBackFromSlot(kShortcutCtrl | 0x7C, names));

  names.AddKey(0x92, 0x0D, u"=");  // an OEM key shares the "=" key's scan code
  EXPECT_EQ(TextToShortcut(ShortcutToText(kShortcutCtrl | 0xBB, names), names), kShortcutCtrl | 0x92);
  EXPECT_FALSE(ReadsBackFromSlot(kShortcutCtrl | 0xBB, names));
  EXPECT_TRUE(ReadsBackFromSlot(kShortcutCtrl | 0x92, names));  // the first of the name is found

  names.AddKey(0xDC, 0x2B, u"+");
  EXPECT_EQ(ShortcutToText(kShortcutCtrl | 0xDC, names), u"Ctrl++");
  EXPECT_FALSE(ReadsBackFromSlot(kShortcutCtrl | 0xDC, names));

  // The slot keeps 30 characters in the ANSI code page (1252 here).
  names.AddKey(0xDD, 0x1B, std::u16string(26, u'K'));
  EXPECT_TRUE(ReadsBackFromSlot(kShortcutAlt | 0xDD, names));                  // 30 characters
  EXPECT_FALSE(ReadsBackFromSlot(kShortcutCtrl | kShortcutAlt | 0xDD, names));  // 35, cut
  names.AddKey(0xDE, 0x28, u"Э");                                                // stored as "?"
  EXPECT_FALSE(ReadsBackFromSlot(kShortcutCtrl | 0xDE, names));
}

TEST(HotKeyBindings, RegistrationAsksForNoRepeatAndFallsBackWhenTheSystemRefusesIt) {
  std::vector<uint32_t> modifiers;
  bool knowsNoRepeat = true;
  const auto system = [&](uint32_t mods, uint8_t key) {
    EXPECT_EQ(key, 0x74);
    modifiers.push_back(mods);
    return knowsNoRepeat || !(mods & kModNoRepeat);
  };
  EXPECT_TRUE(RegisterWithoutRepeat(kShortcutCtrl | kShortcutAlt | 0x74, system));
  EXPECT_EQ(modifiers, (std::vector<uint32_t>{kModControl | kModAlt | kModNoRepeat}));

  modifiers.clear();
  knowsNoRepeat = false;  // before Windows 7
  EXPECT_TRUE(RegisterWithoutRepeat(kShortcutCtrl | 0x74, system));
  EXPECT_EQ(modifiers, (std::vector<uint32_t>{kModControl | kModNoRepeat, kModControl}));

  modifiers.clear();
  EXPECT_FALSE(RegisterWithoutRepeat(kShortcutCtrl | 0x74, [&](uint32_t mods, uint8_t key) {
    return system(mods, key) && false;  // taken by another program
  }));
  EXPECT_EQ(modifiers.size(), 2u);
}

TEST(HotKeyBindings, ABindingFailedWhenItsTextIsNotWhatTheWindowHolds) {
  hotkey_test::FakeKeyNames names;
  HotKeySlots slots;
  slots.SetSlotText(1, u"Ctrl+F5");
  slots.SetSlotText(2, u"Hyper+F1");
  const Shortcut ctrlF5 = kShortcutCtrl | 0x74;
  EXPECT_FALSE(BindingFailed(slots, 0, 0, names));  // no binding, nothing to fail
  EXPECT_FALSE(BindingFailed(slots, 1, ctrlF5, names));
  EXPECT_TRUE(BindingFailed(slots, 1, 0, names));   // refused at start
  EXPECT_TRUE(BindingFailed(slots, 1, kShortcutAlt | 0x74, names));  // the file changed since
  EXPECT_TRUE(BindingFailed(slots, 2, 0, names));   // names no combination
}

// The system refuses three combinations.
bool FreeButThree(Shortcut s) {
  return !(s == (kShortcutWin | 'L') || s == (kShortcutCtrl | kShortcutAlt | 0x2E) || s == 0x70u);
}

TEST(HotKeyBindings, TheScanTriesEveryModifierSetWithEveryKeyAndListsTheRefusedOnes) {
  hotkey_test::FakeKeyNames names;
  std::vector<Shortcut> tried;
  const auto trial = [&](Shortcut s) {
    tried.push_back(s);
    return FreeButThree(s);
  };
  const std::vector<std::u16string> refused = UnavailableCombinations(trial, names);
  ASSERT_EQ(tried.size(), 16u * 248u);
  EXPECT_EQ(tried.front(), kShortcutWin | 8u);
  EXPECT_EQ(tried[248], kShortcutWin | kShortcutShift | 8u);
  EXPECT_EQ(tried.back(), 255u);  // no modifier, the last key
  const std::vector<std::u16string> expected = {u"Win+L", u"Ctrl+Alt+Delete", u"F1"};
  EXPECT_EQ(refused, expected);

  // The same scan in slices that do not divide it evenly, and past its end.
  const std::vector<Shortcut> whole = std::exchange(tried, {});
  std::vector<std::u16string> sliced;
  for (size_t first = 0; first < kUnavailableScanTrials + 1000; first += 1000) {
    const std::vector<std::u16string> part = UnavailableCombinations(first, 1000, trial, names);
    sliced.insert(sliced.end(), part.begin(), part.end());
  }
  EXPECT_EQ(tried, whole);
  EXPECT_EQ(sliced, expected);
}

}  // namespace
