#include "ui/win32/user_interface_win32.h"

namespace tunelet::win32 {

// Each entry point stops whatever is thrown: the caller is the core or a
// window procedure, and the host's message loop is above them.
namespace {
template <typename F>
void Guarded(F f) {
  try {
    f();
  } catch (...) {
  }
}
}  // namespace

void Win32UserInterface::ShowPopup(int kind) {
  Guarded([&] { popups_.Show(kind); });
}
void Win32UserInterface::ResetControlWindowPosition() {
  Guarded([&] { control_.ResetPosition(); });
}
void Win32UserInterface::ShowControlWindow() {
  Guarded([&] { control_.Show(); });
}
void Win32UserInterface::CloseControlWindow() {
  Guarded([&] { control_.Close(); });
}
void Win32UserInterface::ShowQuickInfo() {
  Guarded([&] { quickInfo_.Show(); });
}
void Win32UserInterface::CloseDialogs() {
  Guarded([&] { quickInfo_.Close(); });
}
}  // namespace tunelet::win32
