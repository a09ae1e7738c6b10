// The texts the plug-in's windows show, read through one small interface so
// that the built-in texts can later be replaced by those of a language file.
#pragma once

#include <string>
#include <string_view>

namespace tunelet {

class IUiTexts {
 public:
  virtual ~IUiTexts() = default;
  // The text for a language-file key (e.g. "PLUGIN_ON"); empty when unknown.
  virtual std::u16string Text(std::u16string_view key) const = 0;
};

// The built-in (Russian) texts.
class BuiltInUiTexts final : public IUiTexts {
 public:
  std::u16string Text(std::u16string_view key) const override;
};

}  // namespace tunelet
