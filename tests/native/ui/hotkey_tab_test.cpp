#include "ui/hotkey_tab.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "model/settings.h"

namespace tunelet {
namespace {

constexpr Shortcut kCtrlF12 = kShortcutCtrl | 0x7B;
constexpr Shortcut kAltQ = kShortcutAlt | 'Q';
constexpr int kQuickInfo = 3;

// Hot keys that answer from tables: texts are "Ctrl+F12" and the like, and
// each registration succeeds unless the test says otherwise.
struct FakeHotKeys final : IHotKeys {
  std::array<std::u16string, kHotKeyTabRows> slots;
  std::vector<std::pair<int, Shortcut>> registered;
  std::vector<int> unregistered;
  bool registerFails = false, unregisterFails = false;
  Shortcut unreadable = 0;                    // the one combination whose text names it no more
  std::array<bool, kHotKeyTabRows> failed{};  // bindings not registered; RegisterAll mends them
  int saves = 0, loads = 0, registerAll = 0;
  std::vector<std::pair<size_t, size_t>> slices;

  void LoadHotKeySlots() override { ++loads; }
  void SaveHotKeySlots() override { ++saves; }
  std::u16string SlotText(int action) override { return slots[size_t(action)]; }
  void SetSlotText(int action, std::u16string_view text) override { slots[size_t(action)] = text; }
  void ClearSlot(int action) override { slots[size_t(action)].clear(); }
  void RegisterAllHotKeys() override {
    ++registerAll;
    failed.fill(false);
  }
  bool ReadsBack(uint32_t s) override { return s != unreadable; }
  bool BindingFailed(int action) override { return failed[size_t(action)]; }
  bool RegisterHotKey(int action, uint32_t s) override {
    if (registerFails) return false;
    registered.emplace_back(action, s);
    return true;
  }
  bool UnregisterHotKey(int action) override {
    unregistered.push_back(action);
    return !unregisterFails;
  }
  // Each slice refuses its first trial, named after it.
  std::vector<std::u16string> ScanUnavailableCombinations(size_t first, size_t count) override {
    slices.emplace_back(first, count);
    return {TrialName(first)};
  }
  static std::u16string TrialName(size_t trial) {
    const std::string digits = std::to_string(trial);
    return u"T" + std::u16string(digits.begin(), digits.end());
  }
  std::u16string ShortcutToText(uint32_t s) override {
    std::u16string text;
    if (s & kShortcutCtrl) text += u"Ctrl+";
    if (s & kShortcutAlt) text += u"Alt+";
    return text + (ShortcutKey(s) == 0x7B ? u"F12" : ShortcutKey(s) == 0x74 ? u"F5" : std::u16string(1, ShortcutKey(s)));
  }
  uint32_t TextToShortcut(std::u16string_view text) override {
    return text == u"Ctrl+F5" ? kShortcutCtrl | 0x74 : text == u"Ctrl+F12" ? kCtrlF12 : 0;
  }
};

struct FakeView final : IHotKeyTabView {
  std::u16string columns;
  std::array<std::u16string, kHotKeyTabRows> captions, combinations;
  Shortcut keyBox = 0;
  bool assign = false, del = false, scanningNow = false;
  int deselects = 0;
  std::vector<std::u16string> unavailable;
  std::vector<HotKeyTabMessage> messages;
  bool answerYes = false;

  void SetColumnCaptions(std::u16string_view a, std::u16string_view c) override {
    columns = std::u16string(a) + u"|" + std::u16string(c);
  }
  void SetRowCaption(int row, std::u16string_view caption) override { captions[size_t(row)] = caption; }
  void SetRowCombination(int row, std::u16string_view text) override { combinations[size_t(row)] = text; }
  void DeselectRow() override { ++deselects; }
  Shortcut KeyBox() const override { return keyBox; }
  void SetKeyBox(Shortcut s) override { keyBox = s; }
  void EnableAssign(bool on) override { assign = on; }
  void EnableDelete(bool on) override { del = on; }
  void ClearUnavailable() override { unavailable.clear(); }
  void AddUnavailable(const std::vector<std::u16string>& texts) override {
    unavailable.insert(unavailable.end(), texts.begin(), texts.end());
  }
  void SetScanning(bool on) override { scanningNow = on; }
  void ShowMessage(const HotKeyTabMessage& m) override { messages.push_back(m); }
  bool AskYesNo(const HotKeyTabMessage& m) override {
    messages.push_back(m);
    return answerYes;
  }
};

// A language file's texts: "<KEY> in English" for every key but one.
struct English final : IUiTexts {
  std::u16string Text(std::u16string_view key) const override {
    return key == u"HOTKEYLIST_ITEM2" ? u"" : std::u16string(key) + u" in English";
  }
};

class HotKeyTabTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSettings(); }
  void TearDown() override { ResetSettings(); }
  // Selects the row and types the combination into the key box.
  void Type(int row, Shortcut s) {
    tab.RowSelected(row);
    view.keyBox = s;
  }
  // What every Assign and Delete ends with.
  void ExpectRowLetGo(int savesBefore) {
    EXPECT_EQ(view.keyBox, 0u);
    EXPECT_FALSE(view.assign);
    EXPECT_EQ(view.deselects, 1);
    EXPECT_EQ(tab.selectedRow(), kNoRow);
    EXPECT_EQ(hotKeys.saves, savesBefore + 1);
  }

  FakeHotKeys hotKeys;
  FakeView view;
  English english;
  HotKeyTab tab{hotKeys, view, english};
};

TEST_F(HotKeyTabTest, ThePasteActionRefusesAltQWithTheExactWarningAndRegistersNothing) {
  Type(kPasteAction, kAltQ);
  tab.AssignClicked();
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0], (HotKeyTabMessage{HotKeyTabMessage::Icon::kWarning, u"Tunelet Plugin",
                                                u"Непопустимое значение! Возможно только Ctrl + F1...F12"}));
  EXPECT_TRUE(hotKeys.registered.empty());
  EXPECT_EQ(hotKeys.slots[kPasteAction], u"");
  ExpectRowLetGo(0);

  Settings().UseLanguageFile = true;
  Type(kPasteAction, kShortcutCtrl | kShortcutShift | 0x70);  // Ctrl+Shift+F1: Ctrl must be alone
  tab.AssignClicked();
  EXPECT_EQ(view.messages.back().text, u"HOTKEY_UNAVHOTKEY in English");
  EXPECT_TRUE(hotKeys.registered.empty());
}

TEST_F(HotKeyTabTest, CtrlF12IsTakenForPasteAndAltQForQuickInfo) {
  Type(kPasteAction, kCtrlF12);
  tab.AssignClicked();
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(hotKeys.slots[kPasteAction], u"Ctrl+F12");
  EXPECT_EQ(view.combinations[kPasteAction], u"Ctrl+F12");
  EXPECT_EQ(tab.RowText(kPasteAction), u"Ctrl+F12");
  ExpectRowLetGo(0);

  Type(kQuickInfo, kAltQ);
  tab.AssignClicked();
  EXPECT_TRUE(view.messages.empty());
  const std::vector<std::pair<int, Shortcut>> expected{{kPasteAction, kCtrlF12}, {kQuickInfo, kAltQ}};
  EXPECT_EQ(hotKeys.registered, expected);
  EXPECT_EQ(hotKeys.slots[kQuickInfo], u"Alt+Q");
}

TEST_F(HotKeyTabTest, AKeyWithoutModifierRegistersNothingAndSaysNothingButLetsTheRowGo) {
  Type(kQuickInfo, 0x74);
  tab.AssignClicked();
  EXPECT_TRUE(view.messages.empty());
  EXPECT_TRUE(hotKeys.registered.empty());
  ExpectRowLetGo(0);

  // With no row selected, or an empty key box, the button does nothing.
  view.keyBox = kAltQ;
  tab.AssignClicked();
  Type(kQuickInfo, 0);
  tab.AssignClicked();
  EXPECT_TRUE(hotKeys.registered.empty());
  EXPECT_EQ(hotKeys.saves, 1);
}

TEST_F(HotKeyTabTest, AFailedRegistrationNamesTheActionInBothLanguages) {
  hotKeys.registerFails = true;
  Type(kQuickInfo, kAltQ);
  tab.AssignClicked();
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0], (HotKeyTabMessage{HotKeyTabMessage::Icon::kInformation, u"Tunelet",
                                                u"Невозможно зарегистрировать горячую клавишу - Показать QuickInfo"}));
  EXPECT_EQ(view.combinations[kQuickInfo], u"");
  EXPECT_EQ(hotKeys.slots[kQuickInfo], u"");
  ExpectRowLetGo(0);

  Settings().UseLanguageFile = true;
  Type(kQuickInfo, kAltQ);
  tab.AssignClicked();
  EXPECT_EQ(view.messages.back().text, u"HOTKEY_REG_ERROR in English HOTKEYLIST_ITEM4 in English");
}

TEST_F(HotKeyTabTest, ACombinationWhoseTextWouldNotNameItAtTheNextStartIsRefused) {
  hotKeys.unreadable = kAltQ;
  Type(kQuickInfo, kAltQ);
  tab.AssignClicked();
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0], (HotKeyTabMessage{HotKeyTabMessage::Icon::kWarning, u"Tunelet Plugin",
                                                u"Это сочетание не сохранится: при следующем запуске его название "
                                                u"не будет распознано. Выберите другое сочетание."}));
  EXPECT_TRUE(hotKeys.registered.empty());
  EXPECT_EQ(hotKeys.slots[kQuickInfo], u"");
  EXPECT_EQ(view.combinations[kQuickInfo], u"");
  ExpectRowLetGo(0);

  Settings().UseLanguageFile = true;
  Type(kQuickInfo, kAltQ);
  tab.AssignClicked();
  EXPECT_EQ(view.messages.back().text, u"HOTKEY_NOT_STORABLE in English");
  // The paste action's own rule speaks first.
  Type(kPasteAction, kAltQ);
  tab.AssignClicked();
  EXPECT_EQ(view.messages.back().text, u"HOTKEY_UNAVHOTKEY in English");
  EXPECT_TRUE(hotKeys.registered.empty());
}

TEST_F(HotKeyTabTest, ABindingThatIsNotRegisteredIsMarkedUntilItWorks) {
  hotKeys.slots = {u"", u"Ctrl+F5", u"Ctrl+F12", u"", u""};
  hotKeys.failed[1] = true;
  tab.ShowRows();
  EXPECT_EQ(view.combinations[1], u"(не работает) Ctrl+F5");
  EXPECT_EQ(view.combinations[2], u"Ctrl+F12");
  EXPECT_EQ(tab.RowText(1), u"Ctrl+F5");
  tab.RowSelected(1);  // the key box gets the combination, not the mark
  EXPECT_EQ(view.keyBox, kShortcutCtrl | 0x74);
  EXPECT_TRUE(view.del);

  Settings().UseLanguageFile = true;  // a language chosen while the tab is open
  tab.ShowCaptions();
  EXPECT_EQ(view.combinations[1], u"(HOTKEY_NOT_WORKING in English) Ctrl+F5");

  tab.ReassignAllClicked();
  EXPECT_EQ(view.combinations[1], u"Ctrl+F5");
}

TEST_F(HotKeyTabTest, SelectingARowOffersAssignOrDeleteAndShowsItsCombination) {
  hotKeys.slots[kQuickInfo] = u"Ctrl+F5";
  tab.ShowRows();
  EXPECT_EQ(view.combinations[kQuickInfo], u"Ctrl+F5");
  tab.RowSelected(kQuickInfo);
  EXPECT_FALSE(view.assign);
  EXPECT_TRUE(view.del);
  EXPECT_EQ(view.keyBox, kShortcutCtrl | 0x74);
  tab.RowSelected(0);
  EXPECT_TRUE(view.assign);
  EXPECT_FALSE(view.del);
  EXPECT_EQ(view.keyBox, 0u);
  view.keyBox = kAltQ;
  tab.RowSelected(kNoRow);
  EXPECT_FALSE(view.assign);
  EXPECT_FALSE(view.del);
  EXPECT_EQ(view.keyBox, 0u);
}

TEST_F(HotKeyTabTest, DeleteClearsARegisteredRowAndAsksAboutAnUnregisteredOne) {
  hotKeys.slots = {u"Ctrl+F5", u"Ctrl+F12", u"", u"", u""};
  tab.ShowRows();
  tab.RowSelected(0);
  tab.DeleteClicked();
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(hotKeys.slots[0], u"");
  EXPECT_EQ(view.combinations[0], u"");
  EXPECT_FALSE(view.del);
  ExpectRowLetGo(0);

  hotKeys.unregisterFails = true;
  tab.RowSelected(1);
  tab.DeleteClicked();  // answered No: the binding stays
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0],
            (HotKeyTabMessage{HotKeyTabMessage::Icon::kQuestion, u"Tunelet",
                              u"Невозможно удалить горячую клавишу - Показать настройки\r\n"
                              u"Горячая клавиша не связана с плагином Tunelet. Удалить её?"}));
  EXPECT_EQ(hotKeys.slots[1], u"Ctrl+F12");
  EXPECT_EQ(view.combinations[1], u"Ctrl+F12");
  EXPECT_FALSE(view.del);
  EXPECT_EQ(hotKeys.saves, 2);

  Settings().UseLanguageFile = true;
  view.answerYes = true;
  tab.RowSelected(1);
  tab.DeleteClicked();
  // HOTKEYLIST_ITEM2 is empty in the file: the built-in caption stands in.
  EXPECT_EQ(view.messages.back().text,
            u"HOTKEY_DEL_ERROR in English Показать настройки\rHOTKEY_DEL_FROM_DB in English");
  EXPECT_EQ(hotKeys.slots[1], u"");
  EXPECT_EQ(view.combinations[1], u"");
  EXPECT_EQ(hotKeys.saves, 3);
}

TEST_F(HotKeyTabTest, TheListsMenuReloadsReassignsAndDeletesAll) {
  hotKeys.slots = {u"Ctrl+F5", u"", u"Ctrl+F12", u"", u""};
  tab.RowSelected(2);  // the rows are not shown yet: an empty row
  EXPECT_TRUE(view.assign);
  tab.ReloadClicked();
  EXPECT_EQ(hotKeys.loads, 1);
  EXPECT_EQ(view.combinations[2], u"Ctrl+F12");
  EXPECT_TRUE(view.del);  // the selected row now has a combination
  EXPECT_FALSE(view.assign);

  tab.ReassignAllClicked();
  EXPECT_EQ(hotKeys.registerAll, 1);

  hotKeys.unregisterFails = true;  // unregistered or not, every row goes
  tab.DeleteAllClicked();
  EXPECT_EQ(hotKeys.unregistered, (std::vector<int>{0, 1, 2, 3, 4, 5}));
  for (int row = 0; row < kHotKeyTabRows; ++row) {
    EXPECT_EQ(hotKeys.slots[size_t(row)], u"") << row;
    EXPECT_EQ(view.combinations[size_t(row)], u"") << row;
  }
  EXPECT_EQ(hotKeys.saves, 1);
  EXPECT_TRUE(view.messages.empty());
  EXPECT_FALSE(view.del);
}

TEST_F(HotKeyTabTest, CaptionsAreTheLanguageFilesOnlyWhileItIsInUse) {
  tab.ShowCaptions();
  EXPECT_EQ(view.columns, u"Назначение|Сочетание");
  EXPECT_EQ(view.captions, (std::array<std::u16string, kHotKeyTabRows>{
                               u"Включение/выключение плагина", u"Показать настройки", u"Показать/скрыть Tunelet Control",
                               u"Показать QuickInfo", u"Вставить в другое приложение",
                               u"Приостановить трансляцию на 1 час"}));
  Settings().UseLanguageFile = true;
  tab.ShowCaptions();
  EXPECT_EQ(view.columns, u"HOTKEYLIST_ITEMS in English|HOTKEYLIST_SUBITEMS in English");
  EXPECT_EQ(view.captions[0], u"HOTKEYLIST_ITEM1 in English");
  EXPECT_EQ(view.captions[1], u"Показать настройки");  // empty in the file
  EXPECT_EQ(HotKeyActionCaption(kHotKeyTabRows, english), u"");
}

TEST(HotKeyTabKeyBox, TheControlsValueAndTheShortcutConvertBothWays) {
  constexpr uint32_t kFlagsAt = 8;
  const Shortcut ctrlShiftAltF5 = kShortcutCtrl | kShortcutShift | kShortcutAlt | 0x74;
  EXPECT_EQ(KeyBoxValue(ctrlShiftAltF5), ((kKeyBoxControl | kKeyBoxShift | kKeyBoxAlt) << kFlagsAt) | 0x74);
  EXPECT_EQ(ShortcutFromKeyBox(KeyBoxValue(ctrlShiftAltF5)), ctrlShiftAltF5);
  // Page Up and Delete are named as the dedicated keys, not the keypad's.
  EXPECT_EQ(KeyBoxValue(kShortcutCtrl | 0x21), ((kKeyBoxControl | kKeyBoxExtended) << kFlagsAt) | 0x21);
  EXPECT_EQ(ShortcutFromKeyBox(((kKeyBoxAlt | kKeyBoxExtended) << kFlagsAt) | 0x2E), kShortcutAlt | 0x2E);
  // The control has no Win key.
  EXPECT_EQ(KeyBoxValue(kShortcutWin | kShortcutAlt | 'L'), (kKeyBoxAlt << kFlagsAt) | 'L');
  EXPECT_EQ(KeyBoxValue(0), 0u);
  EXPECT_EQ(KeyBoxValue(kShortcutCtrl), 0u);  // a modifier alone is no value
  EXPECT_EQ(ShortcutFromKeyBox(0), 0u);
}

TEST(HotKeyTabPaste, OnlyCtrlAloneWithAFunctionKeyIsAllowed) {
  EXPECT_TRUE(IsAllowedPasteShortcut(kShortcutCtrl | 0x70));
  EXPECT_TRUE(IsAllowedPasteShortcut(kCtrlF12));
  EXPECT_FALSE(IsAllowedPasteShortcut(kShortcutCtrl | 0x7C));  // F13
  EXPECT_FALSE(IsAllowedPasteShortcut(kShortcutCtrl | 0x6F));  // the key before F1
  EXPECT_FALSE(IsAllowedPasteShortcut(kAltQ));
  EXPECT_FALSE(IsAllowedPasteShortcut(kShortcutCtrl | kShortcutWin | 0x70));
  EXPECT_FALSE(IsAllowedPasteShortcut(0x70));
}

TEST_F(HotKeyTabTest, TheScanRunsInSlicesThatFillTheListAndACancelEmptiesIt) {
  tab.StartScan();
  EXPECT_TRUE(view.scanningNow);
  while (tab.ScanSlice()) {
  }
  EXPECT_FALSE(view.scanningNow);
  EXPECT_FALSE(tab.scanning());
  const size_t sliceCount = kUnavailableScanTrials / kScanSliceTrials;
  ASSERT_EQ(hotKeys.slices.size(), sliceCount);
  EXPECT_EQ(hotKeys.slices[1], (std::pair<size_t, size_t>{kScanSliceTrials, kScanSliceTrials}));
  EXPECT_EQ(hotKeys.slices.back().first + hotKeys.slices.back().second, kUnavailableScanTrials);
  ASSERT_EQ(view.unavailable.size(), sliceCount);
  EXPECT_EQ(view.unavailable.front(), u"T0");
  EXPECT_EQ(view.unavailable.back(), FakeHotKeys::TrialName(kUnavailableScanTrials - kScanSliceTrials));
  EXPECT_FALSE(tab.ScanSlice());  // done: nothing more is tried
  EXPECT_EQ(hotKeys.slices.size(), sliceCount);

  tab.StartScan();  // a refresh starts from an empty list
  EXPECT_TRUE(view.unavailable.empty());
  tab.ScanSlice();
  tab.ScanSlice();
  EXPECT_EQ(view.unavailable.size(), 2u);
  tab.CancelScan();
  EXPECT_TRUE(view.unavailable.empty());
  EXPECT_FALSE(view.scanningNow);
  EXPECT_FALSE(tab.ScanSlice());
  EXPECT_TRUE(view.unavailable.empty());
  EXPECT_EQ(hotKeys.slices.size(), sliceCount + 2);
}

}  // namespace
}  // namespace tunelet
