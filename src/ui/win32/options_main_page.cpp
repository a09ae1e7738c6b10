#include "ui/win32/options_pages.h"

// Stand-in until the page is built: an empty tab.
namespace tunelet::win32 {
namespace {
class BlankMainPage final : public OptionsPage {
 public:
  void CreateControls(HWND, OptionsPageKit&) override {}
  void Load(const PluginSettings&) override {}
  void Store(PluginSettings&) override {}
  void ApplyTexts(const IUiTexts&) override {}
};
}  // namespace
std::unique_ptr<OptionsPage> MakeMainPage() { return std::make_unique<BlankMainPage>(); }
}  // namespace tunelet::win32
