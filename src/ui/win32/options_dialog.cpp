#include "ui/win32/options_dialog.h"

#include <commctrl.h>

#include <string>

#include "model/maker_site.h"
#include "model/settings.h"
#include "platform/win32/dialog_keys.h"
#include "platform/win32/dialog_template.h"
#include "platform/win32/shell_open.h"
#include "ui/options_controls.h"
#include "ui/win32/options_art.h"
#include "ui/win32/options_pages.h"

namespace tunelet::win32 {

namespace {

// A fixed single border with a caption and no caption buttons.
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;

struct Geometry {
  int left, top, width, height;
};
constexpr Geometry kChboxOn{17, 15, 338, 17};
constexpr Geometry kMainPageControl{13, 42, 419, 274};
constexpr Geometry kLangButton{12, 326, 28, 24};
constexpr Geometry kHpButton{45, 326, 28, 24};
constexpr Geometry kBtSave{222, 325, 102, 27};
constexpr Geometry kBtClose{330, 325, 102, 27};

// MainPageControl's rows of tabs, and the padding around a caption when the
// system's is too wide for them.
constexpr int kTabRows = 2;
constexpr int kTabPaddingX = 4, kTabPaddingY = 3;

// What the glyph buttons show while their pictures are missing.
constexpr char16_t kLanguageFallback[] = u"Aa";
constexpr char16_t kHomePageFallback[] = u"www";

using PageFactory = std::unique_ptr<OptionsPage> (*)();
constexpr PageFactory kPageFactories[kOptionsTabCount] = {
    MakePlayersPage, MakeMainPage,         MakeTemplatesPage, MakeHotKeysPage,
    MakePopupsPage,  MakeOthersPage,       MakeControlWindowPage, MakeAboutPage, MakePrivacyPage};

HWND AddFrameControl(OptionsPageKit& kit, HWND dialog, const wchar_t* cls, DWORD style, int id, const Geometry& g) {
  return kit.AddTableControl(dialog, cls, style, id, g.left, g.top, g.width, g.height);
}

}  // namespace

OptionsDialog::~OptionsDialog() { Close(); }

void OptionsDialog::Show() {
  if (hwnd_) {
    BringDialogForward(hwnd_);
    return;
  }
  FreeRetired();
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_TAB_CLASSES | ICC_UPDOWN_CLASS | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES |
                                            ICC_HOTKEY_CLASS | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&icc);
  ShowNewDialog(kStyle, kExStyle, W(kOptionsCaption.data()), &DialogObject<OptionsDialog>::Route, LPARAM(this));
}

void OptionsDialog::Close() {
  if (hwnd_) ::DestroyWindow(hwnd_);  // WM_NCDESTROY lets go of the rest
}

INT_PTR OptionsDialog::HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG:
      OnInit(hwnd);
      return FALSE;  // the focus is set by OnInit
    case WM_COMMAND:
      OnCommand(LOWORD(wp), HIWORD(wp));
      // Enter on a focused button of a page reaches the dialog with the
      // button's id: it goes on to the page that holds the button.
      if (const HWND from = reinterpret_cast<HWND>(lp); from && ::GetParent(from) != hwnd && ::IsChild(hwnd, from))
        ::SendMessageW(::GetParent(from), WM_COMMAND, wp, lp);
      return TRUE;
    case WM_NOTIFY: {
      const auto* hdr = reinterpret_cast<const NMHDR*>(lp);
      if (hdr && hdr->idFrom == UINT_PTR(kIdMainPageControl) && hdr->code == TCN_SELCHANGE)
        SelectPage(int(::SendMessageW(tabs_, TCM_GETCURSEL, 0, 0)));
      return FALSE;
    }
    case WM_NCDESTROY:
      OnDestroyed();
      return FALSE;
    default:
      return FALSE;
  }
}

void OptionsDialog::OnInit(HWND hwnd) {
  hwnd_ = hwnd;
  RECT frame{0, 0, kClientWidth, kClientHeight};
  ::AdjustWindowRectEx(&frame, DWORD(::GetWindowLongW(hwnd, GWL_STYLE)), FALSE,
                       DWORD(::GetWindowLongW(hwnd, GWL_EXSTYLE)));
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  ::SetWindowPos(hwnd, nullptr, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  kit_ = std::make_unique<OptionsPageKit>(hwnd, services_);
  CreateFrameControls();
  CreatePages();
  if (Settings().UseLanguageFile) ApplyLanguage();
  LoadControls();
  SelectPage(0);
  AttachDialogKeys(hwnd);
  ::SetFocus(::GetDlgItem(hwnd, kIdChboxOn));
}

void OptionsDialog::CreateFrameControls() {
  OptionsPageKit& kit = *kit_;
  AddFrameControl(kit, hwnd_, L"BUTTON", WS_TABSTOP | BS_AUTOCHECKBOX, kIdChboxOn, kChboxOn);
  // Two rows of tabs: all nine captions stay in sight.
  tabs_ = AddFrameControl(kit, hwnd_, WC_TABCONTROLW, WS_TABSTOP | WS_CLIPSIBLINGS | TCS_MULTILINE, kIdMainPageControl,
                          kMainPageControl);
  for (int i = 0; i < kOptionsTabCount; ++i) InsertTabItem(tabs_, i, BuiltInTabCaption(i));
  KeepTabsToTwoRows();

  const struct {
    int id;
    Geometry g;
    ButtonGlyph glyph;
    const char16_t* fallback;
    UniqueGdiObject* picture;
  } glyphButtons[] = {{kIdLangButton, kLangButton, ButtonGlyph::Language, kLanguageFallback, &languageGlyph_},
                      {kIdHpButton, kHpButton, ButtonGlyph::HomePage, kHomePageFallback, &homePageGlyph_}};
  for (const auto& b : glyphButtons) {
    *b.picture = ButtonGlyphBitmap(b.glyph);
    const DWORD style = WS_TABSTOP | BS_PUSHBUTTON | (*b.picture ? BS_BITMAP : 0);
    const HWND button = kit.AddControl(hwnd_, L"BUTTON", *b.picture ? u"" : b.fallback, style, b.id, b.g.left,
                                       b.g.top, b.g.width, b.g.height);
    if (*b.picture) ::SendMessageW(button, BM_SETIMAGE, IMAGE_BITMAP, LPARAM(b.picture->get()));
  }
  AddFrameControl(kit, hwnd_, L"BUTTON", WS_TABSTOP | BS_DEFPUSHBUTTON, kIdBtSave, kBtSave);
  AddFrameControl(kit, hwnd_, L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, kIdBtClose, kBtClose);
  ::SendMessageW(hwnd_, DM_SETDEFID, kIdBtSave, 0);
}

// A third row of tabs would take the pages' bottom lines: where the system's
// font is wide enough to need one, the captions get a font a pixel smaller,
// then a narrower padding.
void OptionsDialog::KeepTabsToTwoRows() {
  auto rows = [&] { return int(::SendMessageW(tabs_, TCM_GETROWCOUNT, 0, 0)); };
  if (rows() <= kTabRows) return;
  LOGFONTW lf{};
  const HFONT font = kit_->font();
  if (::GetObjectW(font, sizeof lf, &lf) == sizeof lf && lf.lfHeight != 0) {
    lf.lfHeight += lf.lfHeight < 0 ? 1 : -1;
    tabFont_.reset(::CreateFontIndirectW(&lf));
    if (tabFont_) ::SendMessageW(tabs_, WM_SETFONT, WPARAM(tabFont_.get()), TRUE);
  }
  if (rows() > kTabRows) ::SendMessageW(tabs_, TCM_SETPADDING, 0, MAKELPARAM(kTabPaddingX, kTabPaddingY));
}

void OptionsDialog::CreatePages() {
  RECT area{};
  ::GetClientRect(tabs_, &area);
  ::SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, LPARAM(&area));
  const HWND chboxOn = ::GetDlgItem(hwnd_, kIdChboxOn);
  for (int i = 0; i < kOptionsTabCount; ++i) {
    pages_[i] = kPageFactories[i]();
    const HWND page = kit_->CreatePage(tabs_, area, *pages_[i]);
    pageWindows_[i] = page;
    if (!page) continue;
    // Above the tab control (which clips it out) and after chbox_on in the
    // Tab order.
    ::SetWindowPos(page, chboxOn, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    pages_[i]->CreateControls(page, *kit_);
  }
}

void OptionsDialog::LoadControls() {
  const PluginSettings& s = Settings();
  SetChecked(::GetDlgItem(hwnd_, kIdChboxOn), s.PluginOn);
  for (auto& page : pages_) page->Load(s);
}

void OptionsDialog::SelectPage(int tab) {
  if (tab < 0 || tab >= kOptionsTabCount || tab == current_) return;
  if (current_ >= 0) {
    const HWND old = pageWindows_[current_];
    const bool hadFocus = old && ::IsChild(old, ::GetFocus());
    pages_[current_]->Hidden();
    if (old) ::ShowWindow(old, SW_HIDE);
    if (hadFocus) ::SetFocus(tabs_);
  }
  current_ = tab;
  if (int(::SendMessageW(tabs_, TCM_GETCURSEL, 0, 0)) != tab) ::SendMessageW(tabs_, TCM_SETCURSEL, tab, 0);
  if (pageWindows_[tab]) ::ShowWindow(pageWindows_[tab], SW_SHOW);
  pages_[tab]->Shown();
}

void OptionsDialog::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case IDOK:  // Enter with no button focused
    case kIdBtSave:
      bt_saveClick();
      break;
    case IDCANCEL:  // Escape
    case kIdBtClose:
      Close();
      break;
    case kIdLangButton:
      services_.language->ShowLanguageDialog();
      break;
    case kIdHpButton:
      OpenHomePage();
      break;
    default:
      break;
  }
}

void OptionsDialog::bt_saveClick() {
  {
    const PageCallScope call;
    for (auto& page : pages_)
      if (!page->Validate(hwnd_)) return;
  }
  FreeRetired();
  // The checker's message box may have outlived the dialog (the plug-in
  // stopped meanwhile): then nothing is saved.
  if (!hwnd_) return;
  PluginSettings& s = Settings();
  s.PluginOn = IsChecked(::GetDlgItem(hwnd_, kIdChboxOn));
  for (auto& page : pages_) page->Store(s);
  services_.options->SaveOptions();
  s.SettingsJustSaved = true;
  Forget(Track().LastReadPath);
  Close();
}

void OptionsDialog::OpenHomePage() {
  OpenInShell(hwnd_, MakerHomePageUrl());
}

void OptionsDialog::ApplyLanguage() {
  if (!hwnd_ || !services_.texts) return;
  const IUiTexts& texts = *services_.texts;
  SetControlText(hwnd_, texts.Text(kOptionsCaptionKey));
  for (int i = 0; i < kOptionsTabCount; ++i)
    if (auto caption = LanguageTabCaption(i, texts)) SetTabCaptionAnsi(tabs_, i, *caption);
  kit_->ApplyTableTexts(hwnd_, texts);
  for (auto& page : pages_) page->ApplyTexts(texts);
}

void OptionsDialog::FreeRetired() {
  if (!PageCallScope::Active()) retired_.clear();
}

void OptionsDialog::OnDestroyed() {
  DetachDialogKeys(hwnd_);
  hwnd_ = tabs_ = nullptr;
  current_ = -1;
  pageWindows_.fill(nullptr);
  languageGlyph_.reset();
  homePageGlyph_.reset();
  tabFont_.reset();
  // The windows are gone; now the objects that drew them, unless a page's
  // call is still running below this one.
  PageSet closed{std::move(kit_), std::move(pages_)};
  if (!PageCallScope::Active()) return;  // closed frees them here
  try {
    retired_.push_back(std::move(closed));
  } catch (...) {
    // Out of memory: better lost than freed under the running call.
    closed.kit.release();
    for (auto& page : closed.pages) page.release();
  }
}

}  // namespace tunelet::win32
