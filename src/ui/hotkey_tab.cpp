#include "ui/hotkey_tab.h"

#include <utility>

#include "model/settings.h"

namespace tunelet {

namespace {

constexpr std::array<std::u16string_view, kHotKeyTabRows> kActionCaptionKeys{
    u"HOTKEYLIST_ITEM1", u"HOTKEYLIST_ITEM2", u"HOTKEYLIST_ITEM3", u"HOTKEYLIST_ITEM4", u"HOTKEYLIST_ITEM5",
    u"HOTKEYLIST_ITEM6"};

constexpr std::u16string_view kNotStorableKey = u"HOTKEY_NOT_STORABLE";
constexpr std::u16string_view kNotWorkingKey = u"HOTKEY_NOT_WORKING";

constexpr uint8_t kVirtualKeyF1 = 0x70;
constexpr uint8_t kVirtualKeyF12 = 0x7B;

// The built-in question breaks its line with CR LF; a language file's with a
// lone CR, as its texts have always been joined.
constexpr std::u16string_view kBuiltInLineBreak = u"\r\n";
constexpr std::u16string_view kLanguageLineBreak = u"\r";

struct KeyBoxFlag {
  uint32_t keyBox;
  Shortcut shortcut;
};
constexpr std::array<KeyBoxFlag, 3> kKeyBoxFlags{{
    {kKeyBoxShift, kShortcutShift},
    {kKeyBoxControl, kShortcutCtrl},
    {kKeyBoxAlt, kShortcutAlt},
}};
constexpr int kKeyBoxFlagShift = 8;  // the flags sit in the value's second byte

}  // namespace

std::u16string HotKeyTabText(std::u16string_view key, const IUiTexts& language) {
  if (Settings().UseLanguageFile) {
    std::u16string text = language.Text(key);
    if (!text.empty()) return text;
  }
  return BuiltInUiTexts().Text(key);
}

std::u16string HotKeyActionCaption(int action, const IUiTexts& language) {
  if (action < 0 || action >= kHotKeyTabRows) return {};
  return HotKeyTabText(kActionCaptionKeys[size_t(action)], language);
}

bool IsAllowedPasteShortcut(Shortcut s) {
  const uint8_t key = ShortcutKey(s);
  return ShortcutModifiers(s) == kShortcutCtrl && key >= kVirtualKeyF1 && key <= kVirtualKeyF12;
}

Shortcut ShortcutFromKeyBox(uint32_t value) {
  const uint32_t flags = (value >> kKeyBoxFlagShift) & 0xFF;
  Shortcut s = value & kShortcutKeyMask;
  for (const KeyBoxFlag& f : kKeyBoxFlags)
    if (flags & f.keyBox) s |= f.shortcut;
  return s;
}

uint32_t KeyBoxValue(Shortcut s) {
  const uint8_t key = ShortcutKey(s);
  uint32_t flags = IsExtendedNavigationKey(key) ? kKeyBoxExtended : 0;
  for (const KeyBoxFlag& f : kKeyBoxFlags)
    if (s & f.shortcut) flags |= f.keyBox;
  return key ? (flags << kKeyBoxFlagShift) | key : 0;
}

void HotKeyTab::ShowCaptions() {
  view_.SetColumnCaptions(HotKeyTabText(u"HOTKEYLIST_ITEMS", texts_), HotKeyTabText(u"HOTKEYLIST_SUBITEMS", texts_));
  for (int row = 0; row < kHotKeyTabRows; ++row) {
    view_.SetRowCaption(row, HotKeyActionCaption(row, texts_));
    view_.SetRowCombination(row, ShownCombination(row));  // its mark is a text too
  }
}

void HotKeyTab::ShowRows() {
  for (int row = 0; row < kHotKeyTabRows; ++row) SetRow(row, hotKeys_.SlotText(row));
}

std::u16string_view HotKeyTab::RowText(int row) const {
  return IsRow(row) ? std::u16string_view(rows_[size_t(row)]) : std::u16string_view();
}

void HotKeyTab::SetRow(int row, std::u16string text) {
  rows_[size_t(row)] = std::move(text);
  view_.SetRowCombination(row, ShownCombination(row));
}

std::u16string HotKeyTab::ShownCombination(int row) const {
  const std::u16string& text = rows_[size_t(row)];
  // The mark goes first: a long combination is cut at the column's end.
  if (text.empty() || !hotKeys_.BindingFailed(row)) return text;
  std::u16string shown = u"(";
  shown.append(HotKeyTabText(kNotWorkingKey, texts_)).append(u") ").append(text);
  return shown;
}

void HotKeyTab::RowSelected(int row) {
  selected_ = IsRow(row) ? row : kNoRow;
  const bool bound = selected_ != kNoRow && !rows_[size_t(selected_)].empty();
  view_.EnableAssign(selected_ != kNoRow && !bound);
  view_.EnableDelete(bound);
  view_.SetKeyBox(bound ? hotKeys_.TextToShortcut(rows_[size_t(selected_)]) : 0);
}

void HotKeyTab::FinishEdit() {
  view_.SetKeyBox(0);
  view_.DeselectRow();
  selected_ = kNoRow;
  hotKeys_.SaveHotKeySlots();
}

HotKeyTabMessage HotKeyTab::RegistrationFailed(int row) const {
  return {HotKeyTabMessage::Icon::kInformation, std::u16string(kHotKeyMessageTitle),
          HotKeyTabText(u"HOTKEY_REG_ERROR", texts_) + u" " + HotKeyActionCaption(row, texts_)};
}

HotKeyTabMessage HotKeyTab::DeleteQuestion(int row) const {
  const std::u16string_view lineBreak = Settings().UseLanguageFile ? kLanguageLineBreak : kBuiltInLineBreak;
  return {HotKeyTabMessage::Icon::kQuestion, std::u16string(kHotKeyMessageTitle),
          HotKeyTabText(u"HOTKEY_DEL_ERROR", texts_) + u" " + HotKeyActionCaption(row, texts_) +
              std::u16string(lineBreak) + HotKeyTabText(u"HOTKEY_DEL_FROM_DB", texts_)};
}

void HotKeyTab::AssignClicked() {
  const int row = selected_;
  const Shortcut s = view_.KeyBox();
  if (row == kNoRow || s == 0) return;
  if (row == kPasteAction && !IsAllowedPasteShortcut(s)) {
    view_.ShowMessage({HotKeyTabMessage::Icon::kWarning, std::u16string(kHotKeyWarningTitle),
                       HotKeyTabText(u"HOTKEY_UNAVHOTKEY", texts_)});
  } else if (ShortcutModifiers(s) != 0) {
    // Registered under a text that names nothing (or another key), the
    // binding would be lost or changed at the next start.
    if (!hotKeys_.ReadsBack(s)) {
      view_.ShowMessage({HotKeyTabMessage::Icon::kWarning, std::u16string(kHotKeyWarningTitle),
                         HotKeyTabText(kNotStorableKey, texts_)});
    } else if (hotKeys_.RegisterHotKey(row, s)) {
      const std::u16string text = hotKeys_.ShortcutToText(s);
      hotKeys_.SetSlotText(row, text);  // the slot cuts it to 30 characters
      SetRow(row, text);
    } else {
      view_.ShowMessage(RegistrationFailed(row));
    }
  }
  view_.EnableAssign(false);
  FinishEdit();
}

void HotKeyTab::DeleteClicked() {
  const int row = selected_;
  if (row == kNoRow) return;
  if (hotKeys_.UnregisterHotKey(row) || view_.AskYesNo(DeleteQuestion(row))) {
    SetRow(row, {});
    hotKeys_.ClearSlot(row);
  }
  view_.EnableDelete(false);
  FinishEdit();
}

void HotKeyTab::ReloadClicked() {
  hotKeys_.LoadHotKeySlots();
  ShowRows();
  RowSelected(selected_);  // the selected row may have gained or lost its combination
}

void HotKeyTab::ReassignAllClicked() {
  hotKeys_.RegisterAllHotKeys();
  ShowRows();  // bindings that failed before may work now
}

void HotKeyTab::DeleteAllClicked() {
  for (int row = 0; row < kHotKeyTabRows; ++row) {
    hotKeys_.UnregisterHotKey(row);
    SetRow(row, {});
    hotKeys_.ClearSlot(row);
  }
  hotKeys_.SaveHotKeySlots();
  RowSelected(selected_);
}

void HotKeyTab::StartScan() {
  view_.ClearUnavailable();
  nextTrial_ = 0;
  if (!scanning_) view_.SetScanning(true);
  scanning_ = true;
}

bool HotKeyTab::ScanSlice() {
  if (!scanning_) return false;
  const std::vector<std::u16string> refused = hotKeys_.ScanUnavailableCombinations(nextTrial_, kScanSliceTrials);
  if (!refused.empty()) view_.AddUnavailable(refused);
  nextTrial_ += kScanSliceTrials;
  if (nextTrial_ < kUnavailableScanTrials) return true;
  StopScan();
  return false;
}

void HotKeyTab::CancelScan() {
  if (!scanning_) return;
  StopScan();
  view_.ClearUnavailable();
}

void HotKeyTab::StopScan() {
  scanning_ = false;
  view_.SetScanning(false);
}

}  // namespace tunelet
