// Tab 5, "Прочие": the general switches, the tag code page and the paste
// template with its method, in a white scroll box (kIdOthersBox) whose
// children the controls are.
#include "ui/win32/options_pages.h"

#include <commctrl.h>

#include <string>

#include "platform/win32/unique_handle.h"
#include "templates/template_engine.h"
#include "ui/options_controls.h"
#include "ui/win32/options_layout.h"
#include "ui/win32/options_scroll_box.h"

namespace tunelet::win32 {

namespace {

constexpr size_t kPasteTemplateMaxChars = 255;
constexpr wchar_t kPreviewTitle[] = L"Tunelet Plugin";
// chbox_codepage's items, index = a_u.
constexpr std::u16string_view kCodepageItems[] = {u"Системная (default)", u"Кириллица (1251)"};
constexpr std::u16string_view kCodepageKeys[] = {u"CP0", u"CP1"};

// Geometry: the box in the tab's area (about 411 x 246), the controls in the
// box's content, which is taller than the box.
constexpr RECT kBox{6, 6, 405, 240};
constexpr int kLeft = 10, kWidth = 356;
constexpr int kCheckHeight = 17, kLabelHeight = 15, kLabelGap = 8;
constexpr int kCodepageTop = 117, kCodepageWidth = 150, kCodepageDropHeight = 120;
constexpr int kPasteTop = 174, kPasteLeft = 56, kPasteWidth = 222, kPasteHeight = 52;
constexpr int kContentHeight = 284;

class OthersPage final : public OptionsPage {
 public:
  void CreateControls(HWND page, OptionsPageKit& kit) override {
    kit_ = &kit;
    const HWND box = box_.Create(page, kIdOthersBox, kBox.left, kBox.top, kBox.right - kBox.left,
                                 kBox.bottom - kBox.top);
    if (!box) return;
    // BS_NOTIFY: the box hears which control takes the focus and scrolls it
    // into view.
    constexpr DWORD kCheck = BS_AUTOCHECKBOX | BS_NOTIFY | WS_TABSTOP;
    Heading(kit.AddTableControl(box, WC_STATICW, SS_LEFT, kIdStext7, kLeft, 8, kWidth, 16));
    kit.AddTableControl(box, WC_BUTTONW, kCheck | WS_GROUP, kIdChboxOleFoobar, kLeft, 30, kWidth, kCheckHeight);
    kit.AddTableControl(box, WC_BUTTONW, kCheck, kIdChboxVideoOff, kLeft, 51, kWidth, kCheckHeight);
    kit.AddTableControl(box, WC_BUTTONW, kCheck, kIdChboxReturnOnPause, kLeft, 72, kWidth, kCheckHeight);
    kit.AddTableControl(box, WC_BUTTONW, kCheck, kIdChboxGetFromName, kLeft, 93, kWidth, kCheckHeight);
    kit.AddTableControl(box, WC_STATICW, SS_LEFT, kIdLbCodepage, kLeft, kCodepageTop + 4, 120, kLabelHeight);
    kit.AddTableControl(box, WC_COMBOBOXW, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, kIdChboxCodepage, 140,
                        kCodepageTop, kCodepageWidth, kCodepageDropHeight);
    FillCodepages(kCodepageItems[0], kCodepageItems[1]);

    Heading(kit.AddTableControl(box, WC_STATICW, SS_LEFT, kIdStext8, kLeft, 152, kWidth, 16));
    kit.AddTableControl(box, WC_STATICW, SS_LEFT, kIdLbText3, kLeft, kPasteTop + 2, 40, kLabelHeight);
    const HWND paste = kit.AddTableControl(
        box, WC_EDITW, ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP | WS_GROUP,
        kIdTextPasteText, kPasteLeft, kPasteTop, kPasteWidth, kPasteHeight, WS_EX_CLIENTEDGE);
    ::SendMessageW(paste, EM_SETLIMITTEXT, kPasteTemplateMaxChars, 0);
    kit.AddTableControl(box, WC_BUTTONW, BS_PUSHBUTTON | BS_NOTIFY | WS_TABSTOP, kIdBtTest2,
                        kPasteLeft + kPasteWidth + 8, kPasteTop, 82, 25);
    constexpr DWORD kRadio = BS_AUTORADIOBUTTON | BS_NOTIFY | WS_TABSTOP;
    kit.AddTableControl(box, WC_BUTTONW, kRadio | WS_GROUP, kIdRbOverBuf, kLeft, 236, kWidth, kCheckHeight);
    kit.AddTableControl(box, WC_BUTTONW, kRadio, kIdRbDirect, kLeft, 257, kWidth, kCheckHeight);
    SetChecked(Item(kIdRbOverBuf), true);
    FitLabelLines();
    box_.SetContentHeight(kContentHeight);
  }

  void Load(const PluginSettings& s) override {
    SetChecked(Item(kIdChboxOleFoobar), s.OLEfoobar);
    SetChecked(Item(kIdChboxVideoOff), s.IgnoreVideo);
    SetChecked(Item(kIdChboxReturnOnPause), s.Returnonpause);
    SetChecked(Item(kIdChboxGetFromName), s.Getfromname);
    SelectCodepage(s.a_u);
    SetControlText(Item(kIdTextPasteText), View(s.PasteTemplate));
    SetChecked(Item(kIdRbDirect), s.Directpaste);
    SetChecked(Item(kIdRbOverBuf), !s.Directpaste);
  }

  void Store(PluginSettings& s) override {
    s.OLEfoobar = IsChecked(Item(kIdChboxOleFoobar));
    s.IgnoreVideo = IsChecked(Item(kIdChboxVideoOff));
    s.Returnonpause = IsChecked(Item(kIdChboxReturnOnPause));
    s.Getfromname = IsChecked(Item(kIdChboxGetFromName));
    const LRESULT codepage = ::SendMessageW(Item(kIdChboxCodepage), CB_GETCURSEL, 0, 0);
    if (codepage != CB_ERR) s.a_u = int32_t(codepage);
    SetText(s.PasteTemplate, ControlText(Item(kIdTextPasteText)));
    s.Directpaste = IsChecked(Item(kIdRbDirect));
  }

  void ApplyTexts(const IUiTexts& texts) override {
    kit_->ApplyTableTexts(box_.hwnd(), texts);
    FillCodepages(texts.Text(kCodepageKeys[0]), texts.Text(kCodepageKeys[1]));
    SelectCodepage(Settings().a_u);
    FitLabelLines();
  }

  bool HandleMessage(HWND, UINT msg, WPARAM wp, LPARAM, LRESULT* result) override {
    if (msg == WM_COMMAND && LOWORD(wp) == kIdBtTest2 && HIWORD(wp) == BN_CLICKED) {
      ShowPastePreview();
      *result = 0;
      return true;
    }
    return false;
  }

 private:
  HWND Item(int id) const { return ::GetDlgItem(box_.hwnd(), id); }

  void Heading(HWND control) { ::SendMessageW(control, WM_SETFONT, WPARAM(kit_->boldFont()), FALSE); }

  void FillCodepages(std::u16string_view system, std::u16string_view cyrillic) {
    const HWND list = Item(kIdChboxCodepage);
    ::SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (std::u16string_view item : {system, cyrillic}) {
      const std::u16string text(item);
      ::SendMessageW(list, CB_ADDSTRING, 0, LPARAM(text.c_str()));
    }
  }

  // a_u is 0 or 1 once the settings are loaded; anything else selects none.
  void SelectCodepage(int32_t a_u) { ::SendMessageW(Item(kIdChboxCodepage), CB_SETCURSEL, WPARAM(a_u), 0); }

  void FitLabelLines() {
    PlaceAfterLabel(Item(kIdLbCodepage), Item(kIdChboxCodepage), kLabelGap);
    StretchAfterLabel(Item(kIdLbText3), Item(kIdTextPasteText), kLabelGap);
  }

  // bt_test2: the template as it stands in the field, with the sample values.
  void ShowPastePreview() {
    const std::u16string preview = PastePreviewText(ControlText(Item(kIdTextPasteText)));
    ::MessageBoxW(kit_->dialog(), W(preview.c_str()), kPreviewTitle, MB_OK | MB_ICONINFORMATION);
  }

  OptionsPageKit* kit_ = nullptr;
  ScrollBox box_;
};

}  // namespace

std::unique_ptr<OptionsPage> MakeOthersPage() { return std::make_unique<OthersPage>(); }

}  // namespace tunelet::win32
