// The update check's buttons on the options dialog's About tab, as the update
// subsystem sees them. The options dialog implements this and hands it to
// IUpdateCheck::SetView while it is open (and SetView(nullptr) before it
// goes); with no view attached the check reports through its message box
// alone.
#pragma once

#include <cstdint>
#include <string_view>

namespace tunelet {

class IUpdateView {
 public:
  virtual ~IUpdateView() = default;
  // bt_getup, "Проверить обновление".
  virtual void SetCheckButton(bool enabled) = 0;
  virtual void SetCheckCaption(std::u16string_view caption) = 0;
  // bt_loadup, "Загрузить обновление".
  virtual void SetLoadButton(bool enabled) = 0;
  virtual void SetLoadCaption(std::u16string_view caption) = 0;
  // The dialog's window, owner of the download page's shell call (0: none).
  virtual uintptr_t OwnerWindow() const = 0;
};

}  // namespace tunelet
