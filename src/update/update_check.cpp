#include "update/update_check.h"

#include <algorithm>

#include "model/settings.h"
#include "platform/platform.h"

namespace tunelet {

namespace {

constexpr std::string_view kKeyword = "tunelet";
constexpr char16_t kPlainTitle[] = u"Tunelet";
constexpr char16_t kPluginTitle[] = u"Tunelet Plugin";

std::string AsciiLower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return out;
}

// The text after the keyword (R), lower-cased; nothing without the keyword.
std::optional<std::string> AfterKeyword(std::string_view remote) {
  const std::string lower = AsciiLower(VersionFileText(remote));
  const size_t at = lower.find(kKeyword);
  if (at == std::string::npos) return std::nullopt;
  return lower.substr(at + kKeyword.size());
}

// The one-digit component at 1-based position pos; nothing when it is not a digit.
std::optional<int> DigitAt(std::string_view s, size_t pos) {
  if (s.size() < pos) return std::nullopt;
  const char c = s[pos - 1];
  if (c < '0' || c > '9') return std::nullopt;
  return c - '0';
}

std::u16string Widen(std::string_view eightBit) { return platform::MultiByteToWide(eightBit, 0); }

std::u16string WithVersion(const IUiTexts& texts, std::u16string_view key) {
  return JoinWithSpace(texts.Text(key), Widen(Settings().NewVersionText));
}

bool IsVersionChar(char c) { return (c >= '0' && c <= '9') || c == '.'; }

}  // namespace

std::string UpdateUserAgent(std::string_view pluginVersion) {
  return std::string(kUserAgentPrefix) + std::string(pluginVersion);
}

std::string DownloadPageUrl() { return std::string("http://") + kMakerHost + kDownloadPageObject; }

std::string_view VersionFileText(std::string_view received) {
  received = received.substr(0, kVersionFileMaxBytes);
  return received.substr(0, received.find('\0'));
}

bool IsNewerVersion(std::string_view remote, std::string_view own) {
  const std::optional<std::string> r = AfterKeyword(remote);
  if (!r) return false;
  // Component by component; a later one is read only when the earlier ones
  // are equal, so "3.10.0" is newer than 3.0.5 on its "1" alone.
  for (const size_t pos : {size_t(1), size_t(3), size_t(5)}) {
    const std::optional<int> a = DigitAt(*r, pos), b = DigitAt(own, pos);
    if (!a || !b) return false;
    if (*a != *b) return *a > *b;
  }
  return false;
}

std::string RemoteVersionText(std::string_view remote) {
  const std::optional<std::string> r = AfterKeyword(remote);
  if (!r) return {};
  // Whatever follows the run (an extension, a sentence) is never shown.
  std::string_view run(*r);
  run = run.substr(0, std::find_if_not(run.begin(), run.end(), IsVersionChar) - run.begin());
  while (!run.empty() && run.back() == '.') run.remove_suffix(1);
  if (run.empty() || run.size() > kMaxVersionTextLength) return {};
  return std::string(run);
}

std::optional<std::string> NewerVersionIn(std::string_view answer, std::string_view own) {
  if (!IsNewerVersion(answer, own)) return std::nullopt;
  std::string version = RemoteVersionText(answer);
  if (version.empty()) return std::nullopt;
  return version;
}

std::u16string JoinWithSpace(std::u16string_view text, std::u16string_view value) {
  std::u16string out(text);
  if (out.empty() || out.back() != u' ') out += u' ';
  return out.append(value);
}

void StoreUpdateResult(bool newer, std::string_view newVersionText) {
  PluginSettings& s = Settings();
  s.UpdateAvailable = newer;
  if (newer) s.NewVersionText = std::string(newVersionText);
  s.UpdateCheckPending = false;
}

std::optional<UpdateNotice> ReportUpdateResult(IUpdateView* view, const IUiTexts& texts) {
  PluginSettings& s = Settings();
  if (!s.UpdateAvailable) {
    if (view) {
      view->SetCheckCaption(texts.Text(u"BUT_NOTAV"));
      view->SetCheckButton(false);
    }
    return std::nullopt;
  }
  UpdateNotice notice;
  notice.text = WithVersion(texts, u"NEWVERSIONAV");
  // Only the closed dialog's box without a language file has the short title.
  notice.title = (view || s.UseLanguageFile) ? kPluginTitle : kPlainTitle;
  if (view) {
    view->SetLoadButton(true);
    view->SetLoadCaption(WithVersion(texts, u"BUT_LOAD"));
    view->SetCheckButton(false);
    view->SetCheckCaption(texts.Text(u"BUT_CHECKUPDATES"));
    s.UpdateAvailable = false;  // the dialog has shown it
  }
  return notice;
}

void ShowCheckStarted(IUpdateView& view, const IUiTexts& texts) {
  view.SetCheckButton(false);
  view.SetCheckCaption(texts.Text(u"CHECKING"));
}

void ShowDownloadStarted(IUpdateView& view, const IUiTexts& texts) {
  view.SetLoadButton(false);
  if (Settings().UseLanguageFile) view.SetLoadCaption(texts.Text(u"BUT_LOADUPDATE"));
}

}  // namespace tunelet
