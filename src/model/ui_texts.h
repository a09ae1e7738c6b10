// The texts the plug-in shows (windows, message boxes, hot-key messages),
// read through one small interface so that the built-in Russian texts can be
// replaced by those of a language file. Every subsystem that shows a text
// asks for it by its language-file key; the built-in table holds the Russian
// text of every key shown today.
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
