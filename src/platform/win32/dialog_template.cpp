#include "platform/win32/dialog_template.h"

#include "platform/win32/unique_handle.h"

namespace tunelet::win32 {

namespace {
constexpr wchar_t kFontName[] = L"MS Shell Dlg";
constexpr WORD kFontPoints = 8;
}  // namespace

// DLGTEMPLATE, then menu, class, caption and font, WORD-aligned.
std::vector<WORD> EmptyDialogTemplate(DWORD style, DWORD exStyle, const wchar_t* caption) {
  std::vector<WORD> t;
  auto dword = [&t](DWORD v) {
    t.push_back(LOWORD(v));
    t.push_back(HIWORD(v));
  };
  auto text = [&t](const wchar_t* s) {
    for (; s && *s; ++s) t.push_back(WORD(*s));
    t.push_back(0);
  };
  dword(style | DS_SETFONT);
  dword(exStyle);
  t.push_back(0);                               // no items
  for (int i = 0; i < 4; ++i) t.push_back(0);  // x, y, cx, cy
  t.push_back(0);                               // no menu
  t.push_back(0);                               // the system dialog class
  text(caption);
  t.push_back(kFontPoints);
  text(kFontName);
  return t;
}

HWND ShowNewDialog(DWORD style, DWORD exStyle, const wchar_t* caption, DLGPROC proc, LPARAM param) {
  const std::vector<WORD> t = EmptyDialogTemplate(style, exStyle, caption);
  const HWND hwnd = ::CreateDialogIndirectParamW(ThisModule(), reinterpret_cast<const DLGTEMPLATE*>(t.data()), nullptr,
                                                 proc, param);
  if (!hwnd) return nullptr;
  ::ShowWindow(hwnd, SW_SHOW);
  ::SetForegroundWindow(hwnd);
  return hwnd;
}

void BringDialogForward(HWND dialog) {
  ::ShowWindow(dialog, SW_SHOWNORMAL);
  ::SetForegroundWindow(dialog);
}

}  // namespace tunelet::win32
