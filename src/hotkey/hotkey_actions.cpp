#include "hotkey/hotkey_actions.h"

#include <array>
#include <string_view>

#include "hotkey/shortcut.h"
#include "model/settings.h"

namespace tunelet {

namespace {

bool CurrentFileKnown() { return !IsEmpty(Track().FilePath); }

struct ActionCaption {
  std::u16string_view builtIn;
  std::u16string_view languageKey;
};
constexpr std::array<ActionCaption, 5> kActionCaptions{{
    {u"Включение/выключение плагина", u"HOTKEYLIST_ITEM1"},
    {u"Показать настройки", u"HOTKEYLIST_ITEM2"},
    {u"Показать/скрыть Tunelet Control", u"HOTKEYLIST_ITEM3"},
    {u"Показать QuickInfo", u"HOTKEYLIST_ITEM4"},
    {u"Вставить в другое приложение", u"HOTKEYLIST_ITEM5"},
}};

constexpr uint8_t kVirtualKeyF1 = 0x70;
constexpr uint8_t kVirtualKeyF12 = 0x7B;

}  // namespace

bool RunHotKeyAction(int action, IUserInterface& ui, IPaste& paste) {
  PluginSettings& s = Settings();
  switch (action) {
    case haTogglePlugin:
      if (ui.IsOptionsDialogOpen()) return true;
      s.PluginOn = !s.PluginOn;
      if (s.PopupsOn) ui.ShowPopup(kPluginStatePopup);
      return true;
    case haShowOptions:
      ui.ShowOptionsDialog();
      return true;
    case haToggleControl:
      if (ui.IsControlWindowOpen())
        ui.CloseControlWindow();
      else
        ui.ShowControlWindow();
      return true;
    case haShowQuickInfo:
      if (CurrentFileKnown() && s.PluginOn) ui.ShowQuickInfo();
      return true;
    case haPasteInfo:
      if (ui.IsOptionsDialogOpen() || !CurrentFileKnown() || !s.PluginOn) return true;
      if (s.Directpaste)
        paste.PasteDirect();
      else
        paste.PasteViaClipboard();
      return true;
    default:
      return false;
  }
}

std::u16string HotKeyActionCaption(int action, const IUiTexts& languageTexts) {
  if (action < 0 || size_t(action) >= kActionCaptions.size()) return {};
  const ActionCaption& c = kActionCaptions[size_t(action)];
  if (Settings().UseLanguageFile) {
    std::u16string text = languageTexts.Text(c.languageKey);
    if (!text.empty()) return text;
  }
  return std::u16string(c.builtIn);
}

bool IsAllowedPasteShortcut(uint32_t shortcut) {
  const uint8_t key = ShortcutKey(shortcut);
  return ShortcutModifiers(shortcut) == kShortcutCtrl && key >= kVirtualKeyF1 && key <= kVirtualKeyF12;
}

}  // namespace tunelet
