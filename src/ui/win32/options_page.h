// The options dialog (Tmainform) is a frame with nine tab pages. Each page is
// an OptionsPage: a window laid over MainPageControl's tab area that holds the
// controls of one tab and moves them to and from the settings. The frame creates the page
// windows through OptionsPageKit, which also owns what the pages share: the
// dialog font, the tooltip window of the hints and the services the controls
// that act at once reach.
#pragma once

#include <windows.h>

#include <memory>
#include <string_view>

#include "model/settings.h"
#include "model/subsystems.h"
#include "model/ui_texts.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/window_class.h"

namespace tunelet::win32 {

// What the pages' controls reach outside the dialog. Every member is set
// (the model's do-nothing defaults stand in for a missing subsystem).
struct OptionsServices {
  IUserInterface* ui = nullptr;       // the control window (tab 6)
  IHotKeys* hotKeys = nullptr;        // the hot-key tab
  ILanguage* language = nullptr;      // langbutton
  IUpdateCheck* update = nullptr;     // the About tab's buttons
  const IUiTexts* texts = nullptr;    // the texts now selected (language file or built-in)
  IOptionsStore* options = nullptr;   // "Сохранить": the INI keys and the host's record
};

class OptionsPageKit;

// Marks a call into a page. A page may show a message box, whose loop runs
// the host's messages: the plug-in's stop can close the dialog meanwhile, and
// the page objects must then outlive the call that is still running.
class PageCallScope {
 public:
  PageCallScope() { ++depth_; }
  ~PageCallScope() { --depth_; }
  PageCallScope(const PageCallScope&) = delete;
  PageCallScope& operator=(const PageCallScope&) = delete;
  static bool Active() { return depth_ > 0; }

 private:
  static inline int depth_ = 0;
};

class OptionsPage {
 public:
  virtual ~OptionsPage() = default;
  // Makes the page's controls (built-in Russian captions and hints) inside
  // page, whose client area is the tab's area of MainPageControl.
  virtual void CreateControls(HWND page, OptionsPageKit& kit) = 0;
  // Settings -> controls, when the dialog is shown.
  virtual void Load(const PluginSettings& s) = 0;
  // Before a save: false stops it (the page has told the user why; owner is
  // the dialog).
  virtual bool Validate(HWND owner) { return true; }
  // Controls -> settings, on a save that passed every Validate.
  virtual void Store(PluginSettings& s) = 0;
  // The language file's texts (called only while UseLanguageFile is set).
  virtual void ApplyTexts(const IUiTexts& texts) = 0;
  // The page's tab became current / stopped being current.
  virtual void Shown() {}
  virtual void Hidden() {}
  // The page window's messages (WM_COMMAND, WM_NOTIFY, WM_DRAWITEM,
  // WM_MEASUREITEM, WM_TIMER, WM_CTLCOLOR*, WM_CONTEXTMENU, ...): true when
  // handled, with the result in *result. Must not throw.
  virtual bool HandleMessage(HWND page, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) { return false; }
};

class OptionsPageKit {
 public:
  OptionsPageKit(HWND dialog, const OptionsServices& services);
  ~OptionsPageKit();
  OptionsPageKit(const OptionsPageKit&) = delete;
  OptionsPageKit& operator=(const OptionsPageKit&) = delete;

  HWND dialog() const { return dialog_; }  // owner of the pages' message boxes
  const OptionsServices& services() const { return services_; }
  HFONT font() const { return font_; }      // the dialog's font (not to be deleted)
  HFONT boldFont();                          // headings; owned by the kit

  // A page window for page over area (tabControl's client coordinates): a
  // sibling of the tab control above it, hidden until the frame shows it.
  // WS_EX_CONTROLPARENT, so Tab walks into it. The tab control needs
  // WS_CLIPSIBLINGS.
  HWND CreatePage(HWND tabControl, const RECT& area, OptionsPage& page);

  // A child control with the dialog font; geometry is left, top, width,
  // height in pixels of parent's client area. WS_CHILD | WS_VISIBLE are added.
  HWND AddControl(HWND parent, const wchar_t* windowClass, std::u16string_view text, DWORD style, int id,
                  int left, int top, int width, int height, DWORD exStyle = 0);
  // AddControl with the control's built-in caption and hint from the texts
  // table (ui/options_texts.h).
  HWND AddTableControl(HWND parent, const wchar_t* windowClass, DWORD style, int id, int left, int top, int width,
                       int height, DWORD exStyle = 0);
  // A heading of the texts table in the bold font.
  HWND AddHeading(HWND parent, int id, int left, int top, int width, int height);
  // The control's hint, shown as a tooltip; an empty hint removes it.
  void SetHint(HWND control, std::u16string_view hint);
  // Every control under parent that the texts table names takes the
  // language file's caption and hint where the table gives a key.
  void ApplyTableTexts(HWND parent, const IUiTexts& language);

 private:
  static LRESULT CALLBACK PageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

  HWND dialog_;
  OptionsServices services_;
  HFONT font_ = nullptr;
  UniqueGdiObject boldFont_;
  UniqueWindow tooltip_;
  WindowClass pageClass_;
};

// Text helpers of the pages.
void SetControlText(HWND control, std::u16string_view text);
std::u16string ControlText(HWND control);
bool IsChecked(HWND button);
void SetChecked(HWND button, bool checked);
// A new tab of a tab control, captioned as built in.
void InsertTabItem(HWND tabControl, int index, std::u16string_view caption);
// A tab's caption through the 8-bit path (TCM_SETITEMA), as language files
// caption the tabs: characters outside the ANSI code page are lost.
void SetTabCaptionAnsi(HWND tabControl, int index, std::u16string_view caption);

}  // namespace tunelet::win32
