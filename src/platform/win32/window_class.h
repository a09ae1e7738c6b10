// A window class of this DLL, registered on first use and unregistered when
// its owner goes (the host may unload the DLL next). The plug-in's windows
// keep their object in GWLP_USERDATA and receive their messages through
// WindowObject<T>::Route.
#pragma once

#include <windows.h>

namespace tunelet::win32 {

class WindowClass {
 public:
  WindowClass(const wchar_t* name, WNDPROC proc, UINT style, HCURSOR cursor = nullptr);
  ~WindowClass();
  WindowClass(const WindowClass&) = delete;
  WindowClass& operator=(const WindowClass&) = delete;

  // Registers the class if it is not yet; false when that fails.
  bool Ensure();
  const wchar_t* name() const { return name_; }
  // The class style for windows shown from now on (it is shared by the
  // class's open windows too); hwnd is any window of the class.
  void SetStyle(HWND hwnd, UINT style);

 private:
  const wchar_t* name_;
  WNDPROC proc_;
  UINT style_;
  HCURSOR cursor_;
};

// The window procedure of a class whose windows belong to objects of T: the
// object given as the creation parameter is stored with the window, and every
// message goes to T::HandleMessage (which must not throw). After
// WM_NCDESTROY the window no longer reaches its object.
template <typename T>
struct WindowObject {
  static LRESULT CALLBACK Route(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, LONG_PTR(cs->lpCreateParams));
    }
    T* self = reinterpret_cast<T*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_NCDESTROY) ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
    return self->HandleMessage(hwnd, msg, wp, lp);
  }
};

}  // namespace tunelet::win32
