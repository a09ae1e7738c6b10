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
void Win32UserInterface::CoverArrived() {
  Guarded([&] {
    if (quickInfo_.hwnd()) quickInfo_.Refresh();
  });
}
void Win32UserInterface::AttachOptionsServices(OptionsServices services) {
  if (!services.ui) services.ui = this;
  if (!services.hotKeys) services.hotKeys = &noHotKeys_;
  if (!services.language) services.language = &noLanguage_;
  if (!services.update) services.update = &noUpdate_;
  if (!services.texts) services.texts = &texts_;
  if (!services.options) services.options = &noOptionsStore_;
  options_.SetServices(services);
}
void Win32UserInterface::ShowOptionsDialog() {
  Guarded([&] { options_.Show(); });
}
void Win32UserInterface::ApplyLanguageToOptions() {
  Guarded([&] { options_.ApplyLanguage(); });
}
void Win32UserInterface::CloseDialogs() {
  Guarded([&] {
    options_.Close();
    quickInfo_.Close();
  });
}
}  // namespace tunelet::win32
