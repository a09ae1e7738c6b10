#include "platform/win32/window_class.h"

#include "platform/win32/unique_handle.h"

namespace tunelet::win32 {

WindowClass::WindowClass(const wchar_t* name, WNDPROC proc, UINT style, HCURSOR cursor)
    : name_(name), proc_(proc), style_(style), cursor_(cursor) {}

// Fails harmlessly while another owner's windows of the class still exist.
WindowClass::~WindowClass() { ::UnregisterClassW(name_, ThisModule()); }

bool WindowClass::Ensure() {
  WNDCLASSW wc{};
  // Asked each time: another owner of the same class may have unregistered it.
  if (::GetClassInfoW(ThisModule(), name_, &wc)) return true;
  wc = {};
  wc.style = style_;
  wc.lpfnWndProc = proc_;
  wc.hInstance = ThisModule();
  wc.hCursor = cursor_ ? cursor_ : ::LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = name_;
  return ::RegisterClassW(&wc) != 0;
}

void WindowClass::SetStyle(HWND hwnd, UINT style) {
  if (style == style_ || !hwnd) return;
  ::SetClassLongPtrW(hwnd, GCL_STYLE, LONG_PTR(style));
  style_ = style;
}

}  // namespace tunelet::win32
