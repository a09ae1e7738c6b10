// Tab 0, "Проигрыватели": automatic detection or one player chosen by hand,
// the players' radio buttons each beside its icon in a white scroll box.
#include <algorithm>
#include <vector>

#include "model/player_table.h"
#include "ui/options_controls.h"
#include "ui/options_rules.h"
#include "ui/win32/options_art.h"
#include "ui/win32/options_pages.h"
#include "ui/win32/options_scroll_box.h"

namespace tunelet::win32 {
namespace {

constexpr int kMargin = 8;
constexpr int kRadioIndent = 16, kRadioWidth = 300, kRowHeight = 17;
constexpr int kHeadingTop = 6, kAutoTop = 24, kManualTop = 42, kBoxTop = 62;
// Inside the box: two columns of rows, each an icon and its button.
constexpr int kIconSize = 32, kPlayerRowHeight = 36, kBoxPadding = 4;
constexpr int kIconToButton = 4;

class PlayersPage final : public OptionsPage {
 public:
  void CreateControls(HWND page, OptionsPageKit& kit) override;
  void Load(const PluginSettings& s) override;
  void Store(PluginSettings& s) override;
  void ApplyTexts(const IUiTexts& texts) override { kit_->ApplyTableTexts(page_, texts); }
  void Shown() override { EnablePlayerButtons(); }
  bool HandleMessage(HWND page, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  struct PlayerRow {
    PlayerId player;
    HWND button;
    HWND icon;  // owner-drawn static
    UniqueGdiObject picture;
  };
  void AddColumn(HWND box, const PlayerId* players, size_t count, int left, int width, bool first);
  void EnablePlayerButtons();
  bool DrawIcon(const DRAWITEMSTRUCT& d) const;

  OptionsPageKit* kit_ = nullptr;
  HWND page_ = nullptr;
  ScrollBox box_;
  std::vector<PlayerRow> rows_;
};

void PlayersPage::CreateControls(HWND page, OptionsPageKit& kit) {
  kit_ = &kit;
  page_ = page;
  RECT area{};
  ::GetClientRect(page, &area);
  const int width = area.right - 2 * kMargin;
  kit.AddHeading(page, kIdStext1, kMargin, kHeadingTop, width, kRowHeight);
  kit.AddTableControl(page, L"BUTTON", WS_GROUP | WS_TABSTOP | BS_AUTORADIOBUTTON | BS_NOTIFY, kIdRbAuto,
                      kRadioIndent, kAutoTop, kRadioWidth, kRowHeight);
  kit.AddTableControl(page, L"BUTTON", BS_AUTORADIOBUTTON | BS_NOTIFY, kIdRbManual, kRadioIndent, kManualTop,
                      kRadioWidth, kRowHeight);

  const HWND box = box_.Create(page, kIdPlayerBox, kMargin, kBoxTop, width, area.bottom - kBoxTop - kMargin);
  if (!box) return;
  // The content's height first: it brings the scroll bar, which the columns
  // must leave room for.
  const size_t longest = std::max(kPlayerButtonsLeft.size(), kPlayerButtonsRight.size());
  box_.SetContentHeight(int(longest) * kPlayerRowHeight + 2 * kBoxPadding);
  RECT inside{};
  ::GetClientRect(box, &inside);
  const int columnWidth = (inside.right - 2 * kBoxPadding) / 2;
  rows_.reserve(kPlayerButtonsLeft.size() + kPlayerButtonsRight.size());
  AddColumn(box, kPlayerButtonsLeft.data(), kPlayerButtonsLeft.size(), kBoxPadding, columnWidth, true);
  AddColumn(box, kPlayerButtonsRight.data(), kPlayerButtonsRight.size(), kBoxPadding + columnWidth, columnWidth,
            false);
}

void PlayersPage::AddColumn(HWND box, const PlayerId* players, size_t count, int left, int width, bool first) {
  for (size_t i = 0; i < count; ++i) {
    const PlayerId player = players[i];
    const int top = kBoxPadding + int(i) * kPlayerRowHeight;
    PlayerRow row{player, nullptr, nullptr, PlayerIconBitmap(player)};
    row.icon = kit_->AddControl(box, L"STATIC", u"", SS_OWNERDRAW, 0, left, top + (kPlayerRowHeight - kIconSize) / 2,
                                kIconSize, kIconSize);
    // One group for all the players, entered with Tab at its first button.
    // As tall as the icon: a name wider than the column breaks into a second
    // line beside it instead of being cut.
    const DWORD style =
        BS_AUTORADIOBUTTON | BS_NOTIFY | BS_MULTILINE | (first && i == 0 ? WS_GROUP | WS_TABSTOP : 0);
    const int buttonLeft = left + kIconSize + kIconToButton;
    row.button = kit_->AddTableControl(box, L"BUTTON", style, PlayerButtonId(player), buttonLeft,
                                       top + (kPlayerRowHeight - kIconSize) / 2, width - (buttonLeft - left),
                                       kIconSize);
    rows_.push_back(std::move(row));
  }
}

void PlayersPage::Load(const PluginSettings& s) {
  SetChecked(::GetDlgItem(page_, kIdRbAuto), !s.ManualPlayer);
  SetChecked(::GetDlgItem(page_, kIdRbManual), s.ManualPlayer);
  for (const PlayerRow& row : rows_) SetChecked(row.button, row.player == s.CurrentPlayer);
  EnablePlayerButtons();
}

void PlayersPage::Store(PluginSettings& s) {
  for (const PlayerRow& row : rows_)
    if (IsChecked(row.button)) s.CurrentPlayer = uint8_t(row.player);
  s.ManualPlayer = IsChecked(::GetDlgItem(page_, kIdRbManual));
}

// The buttons keep showing the stored player while they are disabled.
void PlayersPage::EnablePlayerButtons() {
  const bool manual = IsChecked(::GetDlgItem(page_, kIdRbManual));
  for (const PlayerRow& row : rows_) {
    ::EnableWindow(row.button, manual);
    ::EnableWindow(row.icon, manual);
    ::InvalidateRect(row.icon, nullptr, TRUE);
  }
}

bool PlayersPage::DrawIcon(const DRAWITEMSTRUCT& d) const {
  for (const PlayerRow& row : rows_) {
    if (row.icon != d.hwndItem) continue;
    ::FillRect(d.hDC, &d.rcItem, ::GetSysColorBrush(COLOR_WINDOW));
    if (!row.picture) return true;
    UniqueMemoryDc memory(::CreateCompatibleDC(d.hDC));
    if (!memory) return true;
    const HGDIOBJ old = ::SelectObject(memory.get(), row.picture.get());
    // A disabled player's icon is drawn faded.
    const BYTE opacity = ::IsWindowEnabled(d.hwndItem) ? 255 : 110;
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, opacity, AC_SRC_ALPHA};
    ::GdiAlphaBlend(d.hDC, d.rcItem.left, d.rcItem.top, kIconSize, kIconSize, memory.get(), 0, 0, kIconSize,
                    kIconSize, blend);
    ::SelectObject(memory.get(), old);
    return true;
  }
  return false;
}

bool PlayersPage::HandleMessage(HWND, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED && (LOWORD(wp) == kIdRbAuto || LOWORD(wp) == kIdRbManual)) {
    EnablePlayerButtons();
    *result = 0;
    return true;
  }
  if (msg == WM_DRAWITEM && DrawIcon(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp))) {
    *result = TRUE;
    return true;
  }
  return false;
}

}  // namespace

std::unique_ptr<OptionsPage> MakePlayersPage() { return std::make_unique<PlayersPage>(); }

}  // namespace tunelet::win32
