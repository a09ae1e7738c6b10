// Tab 2, "Х-статус": the name and text templates for audio and for video on
// two inner tabs, with the template tools: the balloon of variables, the
// preview, the built-in defaults and the menu that explains blocks.
#include <array>
#include <string>

#include "model/settings.h"
#include "templates/template_engine.h"
#include "ui/options_controls.h"
#include "ui/options_rules.h"
#include "ui/options_texts.h"
#include "ui/win32/options_pages.h"

#include <commctrl.h>

namespace tunelet::win32 {
namespace {

constexpr int kMargin = 8;
constexpr int kRowHeight = 17;
constexpr int kHeadingTop = 6;
constexpr int kInnerTabsTop = 24;
constexpr int kLabelWidth = 40, kFieldGap = 4;
constexpr int kNameHeight = 21, kNameWidth = 200;
// From the page's bottom up: chbox_onlytext, the buttons, then the tabs.
constexpr int kButtonWidth = 94, kButtonHeight = 25, kButtonGap = 6;
constexpr UINT_PTR kBalloonTimer = 1;
constexpr UINT kBalloonMs = 10000;
constexpr int kBalloonWidth = 320;

struct MenuTraits {
  using Type = HMENU;
  static HMENU Invalid() { return nullptr; }
  static void Close(HMENU m) { ::DestroyMenu(m); }
};

// The template checker's message: a topmost warning box owned by the dialog.
class ErrorBox final : public ITemplateErrorReporter {
 public:
  explicit ErrorBox(HWND owner) : owner_(owner) {}
  void Report(std::u16string caption, std::u16string text) override {
    ::MessageBoxW(owner_, W(text.c_str()), W(caption.c_str()), MB_OK | MB_ICONWARNING | MB_TOPMOST);
  }

 private:
  HWND owner_;
};

// The fields of one inner tab.
struct TemplateTab {
  int nameLabel, name, textLabel, text;
  int textLimit;
};
constexpr TemplateTab kTabs[2] = {
    {kIdLbName, kIdEXstatNameA, kIdLbText, kIdEXstatTextA, kAudioTextTemplateLimit},
    {kIdLbName2, kIdEXstatNameV, kIdLbText2, kIdEXstatTextV, kVideoTextTemplateLimit}};

class TemplatesPage final : public OptionsPage {
 public:
  void CreateControls(HWND page, OptionsPageKit& kit) override;
  void Load(const PluginSettings& s) override;
  bool Validate(HWND owner) override;
  void Store(PluginSettings& s) override;
  void ApplyTexts(const IUiTexts& texts) override;
  void Hidden() override { HideBalloon(); }
  bool HandleMessage(HWND page, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  void CreateTab(int index, const RECT& area);
  void CreateBalloon();
  void ShowTab(int index);
  void bt_varsClick();
  void HideBalloon();
  void bt_testClick();
  void bt_resetClick();
  void bt_addblockClick();
  void ShowInformation(std::u16string_view text) const;
  HWND Item(int id) const { return ::GetDlgItem(page_, id); }

  OptionsPageKit* kit_ = nullptr;
  HWND page_ = nullptr;
  HWND tabs_ = nullptr;  // xstatPageControl
  int shownTab_ = 0;
  UniqueWindow balloon_;
  // The language file's texts once they were applied; null: built-in.
  const IUiTexts* language_ = nullptr;
};

void TemplatesPage::CreateControls(HWND page, OptionsPageKit& kit) {
  kit_ = &kit;
  page_ = page;
  RECT area{};
  ::GetClientRect(page, &area);
  const int width = area.right - 2 * kMargin;
  const int onlyTextTop = area.bottom - kMargin - kRowHeight;
  const int buttonsTop = onlyTextTop - kMargin - kButtonHeight;
  const int innerTabsHeight = buttonsTop - kButtonGap - kInnerTabsTop;
  kit.AddHeading(page, kIdStext3, kMargin, kHeadingTop, width, kRowHeight);

  tabs_ = kit.AddControl(page, WC_TABCONTROLW, u"", WS_TABSTOP | WS_CLIPSIBLINGS, kIdXstatPageControl, kMargin,
                         kInnerTabsTop, width, innerTabsHeight);
  for (int i = 0; i < 2; ++i) InsertTabItem(tabs_, i, BuiltInTemplateTabCaption(i));
  RECT inner{0, 0, width, innerTabsHeight};
  ::SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, LPARAM(&inner));
  ::OffsetRect(&inner, kMargin, kInnerTabsTop);
  for (int i = 0; i < 2; ++i) CreateTab(i, inner);

  const struct {
    int id;
    int column;
  } buttons[] = {{kIdBtVars, 0}, {kIdBtTest, 1}, {kIdBtReset, 2}, {kIdBtAddBlock, 3}};
  for (const auto& b : buttons)
    kit.AddTableControl(page, L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, b.id,
                        kMargin + b.column * (kButtonWidth + kButtonGap), buttonsTop, kButtonWidth, kButtonHeight);
  kit.AddTableControl(page, L"BUTTON", WS_TABSTOP | BS_AUTOCHECKBOX, kIdChboxOnlyText, kMargin, onlyTextTop, width,
                      kRowHeight);
  // The fields lie over the inner tabs' area, so the tabs go under them.
  ::SetWindowPos(tabs_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  CreateBalloon();
  ShowTab(0);
}

void TemplatesPage::CreateTab(int index, const RECT& area) {
  const TemplateTab& t = kTabs[index];
  const int left = area.left + kFieldGap * 2, fieldLeft = left + kLabelWidth + kFieldGap;
  const int nameTop = area.top + kFieldGap * 2;
  const int textTop = nameTop + kNameHeight + kFieldGap * 2;
  kit_->AddTableControl(page_, L"STATIC", SS_LEFT | SS_NOPREFIX, t.nameLabel, left, nameTop + 3, kLabelWidth,
                        kRowHeight);
  const HWND name = kit_->AddTableControl(page_, L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL, t.name, fieldLeft, nameTop,
                                          kNameWidth, kNameHeight, WS_EX_CLIENTEDGE);
  ::SendMessageW(name, EM_LIMITTEXT, kNameTemplateLimit, 0);
  kit_->AddTableControl(page_, L"STATIC", SS_LEFT | SS_NOPREFIX, t.textLabel, left, textTop + 3, kLabelWidth,
                        kRowHeight);
  const HWND text = kit_->AddTableControl(
      page_, L"EDIT", WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, t.text, fieldLeft,
      textTop, area.right - kFieldGap * 2 - fieldLeft, area.bottom - kFieldGap * 2 - textTop, WS_EX_CLIENTEDGE);
  ::SendMessageW(text, EM_LIMITTEXT, WPARAM(t.textLimit), 0);
}

void TemplatesPage::ShowTab(int index) {
  if (index < 0 || index > 1) return;
  shownTab_ = index;
  ::SendMessageW(tabs_, TCM_SETCURSEL, index, 0);
  for (int i = 0; i < 2; ++i) {
    const TemplateTab& t = kTabs[i];
    for (int id : {t.nameLabel, t.name, t.textLabel, t.text}) ::ShowWindow(Item(id), i == index ? SW_SHOW : SW_HIDE);
  }
}

void TemplatesPage::Load(const PluginSettings& s) {
  SetControlText(Item(kIdEXstatNameA), View(s.AudioTitleTemplate));
  SetControlText(Item(kIdEXstatTextA), View(s.AudioTextTemplate));
  SetControlText(Item(kIdEXstatNameV), View(s.VideoTitleTemplate));
  SetControlText(Item(kIdEXstatTextV), View(s.VideoTextTemplate));
  SetChecked(Item(kIdChboxOnlyText), s.KeepXStatusName);
}

// The audio text, then the video text, in the checker's check mode.
bool TemplatesPage::Validate(HWND owner) {
  ErrorBox box(owner);
  for (int id : {kIdEXstatTextA, kIdEXstatTextV}) {
    std::u16string text = ControlText(Item(id));
    if (ExpandConditionalBlocks(text, &box, false) == kBlocksFailed) return false;
  }
  return true;
}

void TemplatesPage::Store(PluginSettings& s) {
  SetText(s.AudioTitleTemplate, ControlText(Item(kIdEXstatNameA)));
  SetText(s.AudioTextTemplate, ControlText(Item(kIdEXstatTextA)));
  SetText(s.VideoTitleTemplate, ControlText(Item(kIdEXstatNameV)));
  SetText(s.VideoTextTemplate, ControlText(Item(kIdEXstatTextV)));
  s.KeepXStatusName = IsChecked(Item(kIdChboxOnlyText));
}

void TemplatesPage::ApplyTexts(const IUiTexts& texts) {
  kit_->ApplyTableTexts(page_, texts);
  for (int i = 0; i < 2; ++i) SetTabCaptionAnsi(tabs_, i, LanguageTemplateTabCaption(i, texts));
  language_ = &texts;
}

// The balloon is a tracking tooltip of its own, shown by bt_vars only.
void TemplatesPage::CreateBalloon() {
  balloon_.reset(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                   WS_POPUP | TTS_BALLOON | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, page_, nullptr, ThisModule(), nullptr));
  if (!balloon_) return;
  TOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.uFlags = TTF_TRACK | TTF_IDISHWND;
  ti.hwnd = page_;
  ti.uId = UINT_PTR(Item(kIdBtVars));
  ti.lpszText = const_cast<wchar_t*>(L"");
  ::SendMessageW(balloon_.get(), TTM_ADDTOOLW, 0, LPARAM(&ti));
  ::SendMessageW(balloon_.get(), TTM_SETMAXTIPWIDTH, 0, kBalloonWidth);
}

void TemplatesPage::bt_varsClick() {
  if (!balloon_) return;
  const BalloonText b = TemplateBalloon(language_);
  std::wstring text(b.text.begin(), b.text.end());
  const std::wstring title(b.title.begin(), b.title.end());
  TOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.hwnd = page_;
  ti.uId = UINT_PTR(Item(kIdBtVars));
  ti.lpszText = text.data();
  ::SendMessageW(balloon_.get(), TTM_UPDATETIPTEXTW, 0, LPARAM(&ti));
  ::SendMessageW(balloon_.get(), TTM_SETTITLEW, TTI_INFO, LPARAM(title.c_str()));
  // The stem points from the button's top right corner.
  RECT r{};
  ::GetWindowRect(Item(kIdBtVars), &r);
  ::SendMessageW(balloon_.get(), TTM_TRACKPOSITION, 0, MAKELPARAM(r.right, r.top));
  ::SendMessageW(balloon_.get(), TTM_TRACKACTIVATE, TRUE, LPARAM(&ti));
  ::SetTimer(page_, kBalloonTimer, kBalloonMs, nullptr);
}

void TemplatesPage::HideBalloon() {
  ::KillTimer(page_, kBalloonTimer);
  if (!balloon_) return;
  TOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.hwnd = page_;
  ti.uId = UINT_PTR(Item(kIdBtVars));
  ::SendMessageW(balloon_.get(), TTM_TRACKACTIVATE, FALSE, LPARAM(&ti));
}

void TemplatesPage::ShowInformation(std::u16string_view text) const {
  const std::wstring w(text.begin(), text.end());
  ::MessageBoxW(kit_->dialog(), w.c_str(), W(kOptionsMessageCaption.data()), MB_OK | MB_ICONINFORMATION);
}

// The text of the inner tab shown now, checked and filled with samples.
void TemplatesPage::bt_testClick() {
  ErrorBox box(kit_->dialog());
  const std::optional<std::u16string> preview = PreviewTemplateText(ControlText(Item(kTabs[shownTab_].text)), &box);
  if (preview) ShowInformation(*preview);
}

void TemplatesPage::bt_resetClick() {
  const std::u16string question = ResetQuestion(language_);
  if (::MessageBoxW(kit_->dialog(), W(question.c_str()), W(kOptionsMessageCaption.data()),
                    MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  SetControlText(Item(kIdEXstatNameA), kDefaultAudioTitleTemplate);
  SetControlText(Item(kIdEXstatTextA), kDefaultAudioTextTemplate);
  SetControlText(Item(kIdEXstatNameV), kDefaultVideoTitleTemplate);
  SetControlText(Item(kIdEXstatTextV), kDefaultVideoTextTemplate);
}

// addmenu: its items come back as WM_COMMAND to the page.
void TemplatesPage::bt_addblockClick() {
  UniqueHandle<MenuTraits> menu(::CreatePopupMenu());
  if (!menu) return;
  const std::wstring heading(kBlocksMenuHeading.begin(), kBlocksMenuHeading.end());
  const std::u16string_view wtf = BuiltInCaption(kIdMiWtf), help = BuiltInCaption(kIdMiHelp);
  const std::wstring wtfText(wtf.begin(), wtf.end()), helpText(help.begin(), help.end());
  ::AppendMenuW(menu.get(), MF_STRING, 0, heading.c_str());
  ::SetMenuDefaultItem(menu.get(), 0, TRUE);  // drawn bold; it does nothing
  ::AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(menu.get(), MF_STRING, kIdMiWtf, wtfText.c_str());
  ::AppendMenuW(menu.get(), MF_STRING, kIdMiHelp, helpText.c_str());
  RECT r{};
  ::GetWindowRect(Item(kIdBtAddBlock), &r);
  ::TrackPopupMenu(menu.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, r.left + 1, r.bottom, 0, page_, nullptr);
}

bool TemplatesPage::HandleMessage(HWND, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  *result = 0;
  switch (msg) {
    case WM_NOTIFY: {
      const auto* hdr = reinterpret_cast<const NMHDR*>(lp);
      if (hdr->hwndFrom != tabs_ || hdr->code != UINT(TCN_SELCHANGE)) return false;
      ShowTab(int(::SendMessageW(tabs_, TCM_GETCURSEL, 0, 0)));
      return true;
    }
    case WM_TIMER:
      if (wp != kBalloonTimer) return false;
      HideBalloon();
      return true;
    case WM_COMMAND:
      if (HIWORD(wp) != BN_CLICKED) return false;  // menu items come with 0, as BN_CLICKED
      switch (LOWORD(wp)) {
        case kIdBtVars: bt_varsClick(); return true;
        case kIdBtTest: bt_testClick(); return true;
        case kIdBtReset: bt_resetClick(); return true;
        case kIdBtAddBlock: bt_addblockClick(); return true;
        case kIdMiWtf: ShowInformation(kWhatAreBlocksText); return true;
        case kIdMiHelp: ShowInformation(kBlockSyntaxText); return true;
        default: return false;
      }
    default:
      return false;
  }
}

}  // namespace

std::unique_ptr<OptionsPage> MakeTemplatesPage() { return std::make_unique<TemplatesPage>(); }

}  // namespace tunelet::win32
