#include "ui/privacy_tab.h"

#include <algorithm>

#include "common/text.h"
#include "players/media_session.h"
#include "templates/privacy_rules.h"

namespace tunelet {

namespace {

bool IsLineBreak(char16_t c) { return c == u'\r' || c == u'\n'; }

}  // namespace

std::vector<PrivacyListRow> PrivacyListRows(const PrivacySettings& privacy) {
  std::vector<PrivacyListRow> rows;
  for (PlayerId row = 0; row < kPlayerCount; ++row) {
    if (SharingSwitchRow(row) != row) continue;
    PrivacyListRow r;
    r.player = row;
    r.shared = privacy.PlayerShared[row];
    rows.push_back(std::move(r));
  }
  for (const SessionAppChoice& app : privacy.SessionApps) {
    PrivacyListRow r;
    r.isApp = true;
    r.appId = app.appId;
    r.webBrowser = IsWebBrowserApp(app.appId);
    r.shared = app.shared;
    rows.push_back(std::move(r));
  }
  return rows;
}

std::u16string PrivacyRowCaption(const PrivacyListRow& row, std::u16string_view browserMark) {
  if (!row.isApp) return std::u16string(PlayerDisplayName(row.player));
  const std::u16string name = SessionPlayerName(row.appId);
  std::u16string caption = name;
  if (name != row.appId) caption += u" (" + row.appId + u")";
  if (row.webBrowser && !browserMark.empty()) caption += u" " + std::u16string(browserMark);
  return caption;
}

void StorePrivacyListRows(const std::vector<PrivacyListRow>& rows, PrivacySettings& privacy) {
  for (const PrivacyListRow& row : rows) {
    if (!row.isApp) {
      if (row.player < kPlayerCount) privacy.PlayerShared[row.player] = row.shared;
      continue;
    }
    const auto app = std::find_if(privacy.SessionApps.begin(), privacy.SessionApps.end(),
                                  [&](const SessionAppChoice& a) { return a.appId == row.appId; });
    if (app != privacy.SessionApps.end()) app->shared = row.shared;
  }
  // The alternative foobar2000 rows follow the first one's switch.
  for (PlayerId row = 0; row < kPlayerCount; ++row)
    privacy.PlayerShared[row] = privacy.PlayerShared[SharingSwitchRow(row)];
}

std::u16string ExclusionFieldText(const std::vector<std::u16string>& lines) {
  std::u16string text;
  for (const std::u16string& line : lines) {
    if (!text.empty()) text += u"\r\n";
    text += line;
  }
  return text;
}

ExclusionFieldLines SplitExclusionField(std::u16string_view text) {
  ExclusionFieldLines out;
  size_t lineNumber = 0;
  while (!text.empty()) {
    const size_t end = size_t(std::find_if(text.begin(), text.end(), IsLineBreak) - text.begin());
    const std::u16string_view line = TrimSpacesAndTabs(text.substr(0, end));
    size_t next = end;
    if (next < text.size()) next += text.substr(next, 2) == u"\r\n" ? 2 : 1;  // CRLF is one break
    text.remove_prefix(next);
    ++lineNumber;  // as the field shows them, empty ones included
    if (line.empty()) continue;
    if (line.size() > kMaxExclusionPatternChars && out.firstTooLong == 0) out.firstTooLong = lineNumber;
    if (out.lines.size() == kMaxExclusionPatterns) {
      out.tooMany = true;
      continue;
    }
    out.lines.emplace_back(line);
  }
  return out;
}

std::optional<int32_t> ParsePrivacyNumber(std::u16string_view text, int32_t max) {
  const std::u16string_view digits = TrimSpacesAndTabs(text);
  if (digits.empty() || digits.size() > 9) return std::nullopt;  // nine digits fit int32_t
  int32_t value = 0;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + int32_t(c - u'0');
  }
  if (value > max) return std::nullopt;
  return value;
}

std::u16string PrivacyRangeMessage(const IUiTexts& texts, int32_t max) {
  return texts.Text(u"PRIVACY_RANGE_ERROR") + u" " + ToU16(uint32_t(std::max(max, int32_t(0))));
}

std::u16string PrivacyTooManyPatternsMessage(const IUiTexts& texts) {
  return texts.Text(u"PRIVACY_TOO_MANY_PATTERNS") + u" " + ToU16(uint32_t(kMaxExclusionPatterns));
}

std::u16string PrivacyPatternTooLongMessage(const IUiTexts& texts, size_t lineNumber) {
  return texts.Text(u"PRIVACY_PATTERN_TOO_LONG") + u" " + ToU16(uint32_t(lineNumber));
}

}  // namespace tunelet
