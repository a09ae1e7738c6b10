// The hot-key tab of the options dialog: the list of the six actions with
// their combinations (HotKeyList), the key box (HotKey1), "Назначить" and
// "Удалить", the list's context menu, and the list of the combinations the
// system refuses (KeyList). What each click does lives here, over a small
// view that the Win32 page implements; the hot keys themselves are reached
// through IHotKeys.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/shortcut_bits.h"
#include "model/subsystems.h"
#include "model/ui_texts.h"

namespace tunelet {

constexpr int kHotKeyTabRows = kHotKeyActions;  // one per action, in action order
constexpr int kNoRow = -1;
constexpr int kPasteAction = 4;    // the only action limited to Ctrl + F1..F12

// The titles of the tab's message boxes.
inline constexpr std::u16string_view kHotKeyWarningTitle = u"Tunelet Plugin";
inline constexpr std::u16string_view kHotKeyMessageTitle = u"Tunelet";

struct HotKeyTabMessage {
  enum class Icon { kWarning, kInformation, kQuestion };
  Icon icon = Icon::kInformation;
  std::u16string title, text;
  bool operator==(const HotKeyTabMessage&) const = default;
};

class IHotKeyTabView {
 public:
  virtual ~IHotKeyTabView() = default;
  // HotKeyList: the two column captions, then per row the action's caption
  // (first column) and its combination's text (second column).
  virtual void SetColumnCaptions(std::u16string_view action, std::u16string_view combination) = 0;
  virtual void SetRowCaption(int row, std::u16string_view caption) = 0;
  virtual void SetRowCombination(int row, std::u16string_view text) = 0;
  virtual void DeselectRow() = 0;
  // HotKey1; 0 when it is empty.
  virtual Shortcut KeyBox() const = 0;
  virtual void SetKeyBox(Shortcut s) = 0;
  virtual void EnableAssign(bool enabled) = 0;
  virtual void EnableDelete(bool enabled) = 0;
  // KeyList, filled a slice at a time while the scan runs (the wait cursor
  // shows meanwhile).
  virtual void ClearUnavailable() = 0;
  virtual void AddUnavailable(const std::vector<std::u16string>& texts) = 0;
  virtual void SetScanning(bool scanning) = 0;
  // Message boxes owned by the dialog; AskYesNo is true for "Yes".
  virtual void ShowMessage(const HotKeyTabMessage& m) = 0;
  virtual bool AskYesNo(const HotKeyTabMessage& m) = 0;
};

// A text of the tab: the language file's while UseLanguageFile is set (the
// built-in one when the file's is empty), else the built-in Russian one.
std::u16string HotKeyTabText(std::u16string_view key, const IUiTexts& language);
// The row caption of an action (HOTKEYLIST_ITEM1..5); "" for no action.
std::u16string HotKeyActionCaption(int action, const IUiTexts& language);
// The paste key takes Ctrl alone with one of F1..F12.
bool IsAllowedPasteShortcut(Shortcut s);

// The key box is the system's hot-key control: its value has the virtual key
// in the low byte and the HOTKEYF_ flags in the next. It has no Win key, so
// a Win combination shows there without Win.
constexpr uint32_t kKeyBoxShift = 0x01, kKeyBoxControl = 0x02, kKeyBoxAlt = 0x04, kKeyBoxExtended = 0x08;
Shortcut ShortcutFromKeyBox(uint32_t value);
uint32_t KeyBoxValue(Shortcut s);

// Trials of the unavailable-combinations scan made per slice: an eighth of a
// modifier set, 128 slices in all. A trial took 0.1 ms under Wine here on an
// idle machine and up to 2.6 ms on a busy one, so a slice holds the thread
// 3 to 80 ms.
constexpr size_t kScanSliceTrials = 31;

class HotKeyTab {
 public:
  HotKeyTab(IHotKeys& hotKeys, IHotKeyTabView& view, const IUiTexts& texts)
      : hotKeys_(hotKeys), view_(view), texts_(texts) {}

  // Row captions, column captions and the marks of bindings that do not
  // work, in the texts now selected.
  void ShowCaptions();
  // The rows' combinations from the slots (loaded by the caller); a binding
  // that is not registered (it failed at start) is marked, "(не работает) Ctrl+F5".
  void ShowRows();

  // HotKeyList's selection changed; kNoRow when none is selected.
  void RowSelected(int row);
  // bt_reghotkey; a combination whose text would not name it again at the
  // next start is refused with a warning.
  void AssignClicked();
  void DeleteClicked();       // bt_delhotkey
  void ReloadClicked();       // N2 "Обновить"
  void ReassignAllClicked();  // N4 "Переназначить все"
  void DeleteAllClicked();    // N5 "Удалить все"

  // The unavailable-combinations list: StartScan empties it, each ScanSlice
  // adds the refused combinations of the next slice and is false once the
  // scan is through; CancelScan stops it and empties the list (a partial
  // list would pass for a whole one).
  void StartScan();
  bool ScanSlice();
  void CancelScan();
  bool scanning() const { return scanning_; }

  int selectedRow() const { return selected_; }
  std::u16string_view RowText(int row) const;

 private:
  static bool IsRow(int row) { return row >= 0 && row < kHotKeyTabRows; }
  void SetRow(int row, std::u16string text);
  // The row's combination as the list shows it, with its mark.
  std::u16string ShownCombination(int row) const;
  // What every button ends with: the row let go and hotkeys.dat written.
  void FinishEdit();
  void StopScan();
  HotKeyTabMessage RegistrationFailed(int row) const;
  HotKeyTabMessage DeleteQuestion(int row) const;

  IHotKeys& hotKeys_;
  IHotKeyTabView& view_;
  const IUiTexts& texts_;
  std::array<std::u16string, kHotKeyTabRows> rows_;
  int selected_ = kNoRow;
  bool scanning_ = false;
  size_t nextTrial_ = 0;
};

}  // namespace tunelet
