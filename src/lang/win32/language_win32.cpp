#include "lang/win32/language_win32.h"

namespace tunelet::win32 {

// Each entry point stops whatever is thrown: the caller is the core, and the
// host's message loop is above it.
bool Win32Language::LoadConfiguredLanguage() {
  try {
    return tunelet::LoadConfiguredLanguage(system_, ini_, texts_);
  } catch (...) {
    return false;
  }
}

void Win32Language::ShowLanguageDialog() {
  try {
    dialog_.Show();
  } catch (...) {
  }
}

void Win32Language::CloseLanguageDialog() {
  try {
    dialog_.Close();
  } catch (...) {
  }
}

}  // namespace tunelet::win32
