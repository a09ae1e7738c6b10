// Language files: whatever values a file holds, listed in the language
// dialog, applied, read whole through the profile reader's buffer contract,
// and shown by the texts every window asks for.
//
// Input: NUL-separated parts, each a key selector byte and the value (one
// character a byte). Selectors 1 to 3 set LNG_LANG, LNG_AUTHOR, LNG_INFO of
// section "Info"; the next ones pick a key of section "Main" in the loader's
// order (modulo: selector 0 would end the part). The first part's value is also read whole through the buffer reader.
#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <utility>  // the fakes use std::exchange

#include "core/core_fakes.h"
#include "hotkey/hotkey_slots.h"
#include "lang/language_files.h"
#include "lang/language_texts.h"
#include "model/settings.h"
#include "text_input.h"
#include "ui/hotkey_tab.h"
#include "ui/options_texts.h"
#include "ui/popup.h"
#include "ui/quick_info.h"

using namespace tunelet;

namespace {

constexpr char16_t kFolder[] = u"C:\\Talkeo\\Plugins\\addons\\";
constexpr char16_t kFile[] = u"C:\\Talkeo\\Plugins\\addons\\fuzz.lng";
constexpr std::u16string_view kInfoKeys[] = {u"LNG_LANG", u"LNG_AUTHOR", u"LNG_INFO"};

// One language file whose values come from the input.
class OneFileSystem final : public ILanguageSystem {
 public:
  std::map<std::pair<std::u16string, std::u16string>, std::u16string> values;
  FileAccess Probe(std::u16string_view path) override {
    return path == kFile ? FileAccess::kReadable : FileAccess::kMissing;
  }
  std::u16string ReadProfileValue(std::u16string_view path, std::u16string_view section, std::u16string_view key,
                                  std::u16string_view fallback) override {
    const auto it = values.find({std::u16string(section), std::u16string(key)});
    return path != kFile || it == values.end() ? std::u16string(fallback) : it->second;
  }
  std::vector<std::u16string> FindLanguageFiles(std::u16string_view) override { return {kFile}; }
  std::u16string ThroughAnsiCodePage(std::u16string_view text) override { return std::u16string(text); }
  void ShowLoadError(std::u16string_view) override {}
};

// The system profile reader's contract over a value: at most size-1
// characters and a terminator, and the count copied.
size_t ProfileRead(const std::u16string& value, char16_t* buffer, size_t size) {
  if (size == 0) return 0;
  const size_t n = std::min(value.size(), size - 1);
  std::copy_n(value.data(), n, buffer);
  buffer[n] = 0;
  return n;
}

void ShowEveryText(const IUiTexts& texts) {
  for (const LanguageKey& k : LanguageKeys()) (void)texts.Text(k.key);
  for (const OptionsControlText& c : OptionsControlTexts()) {
    (void)LanguageCaption(c.control, texts);
    (void)LanguageHint(c.control, texts);
  }
  for (int tab = 0; tab < kOptionsTabCount; ++tab) (void)LanguageTabCaption(tab, texts);
  for (int tab = 0; tab < 2; ++tab) (void)LanguageTemplateTabCaption(tab, texts);
  for (int action = -1; action <= int(kHotKeyActionCount); ++action) (void)HotKeyActionCaption(action, texts);
  (void)HotKeyTabText(u"HOTKEY_REG_ERROR", texts);
  (void)StatePopupText(true, texts);
  (void)StatePopupText(false, texts);
  (void)CurrentQuickInfoTexts(texts);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const LanguageKey> keys = LanguageKeys();
  OneFileSystem system;
  const auto parts = fuzz::SplitParts(data, size, 1 + keys.size() + std::size(kInfoKeys));
  for (const auto& p : parts) {
    if (p.empty()) continue;
    const size_t selector = size_t(p[0] - 1) % (keys.size() + std::size(kInfoKeys));
    const std::u16string value = fuzz::ByteText({p.begin() + 1, p.end()});
    if (selector < std::size(kInfoKeys))
      system.values[{u"Info", std::u16string(kInfoKeys[selector])}] = value;
    else
      system.values[{u"Main", std::u16string(keys[selector - std::size(kInfoKeys)].key)}] = value;
  }

  const std::u16string first = parts[0].empty() ? u"" : fuzz::ByteText({parts[0].begin() + 1, parts[0].end()});
  for (size_t firstSize : {size_t(1), size_t(2), size_t(7), kFirstValueBuffer}) {
    const std::u16string whole =
        ReadWholeProfileValue([&](char16_t* b, size_t n) { return ProfileRead(first, b, n); }, firstSize, 100);
    if (whole != std::u16string_view(first).substr(0, 100)) __builtin_trap();  // whole, or cut at the limit
  }

  ResetSettings();
  LanguageTexts texts;
  testing::MemoryIni ini;
  for (const LanguageRow& row : ListLanguages(system, kFolder)) {
    Settings().UseLanguageFile = false;
    ApplyLanguageRow(row, system, ini, texts);
    const SelectedUiTexts selected(texts);
    ShowEveryText(selected);
  }
  return 0;
}
