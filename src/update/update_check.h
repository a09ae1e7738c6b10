// The update check's rules, apart from the network: where the version file
// and the download page are, how the version file's answer is compared with
// the plug-in's own version, and what the user sees of the result.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "model/maker_site.h"
#include "model/ui_texts.h"
#include "model/update_view.h"

namespace tunelet {

// On the maker's web server (kMakerHost, model/maker_site.h).
inline constexpr char kVersionFileObject[] = "/tlup.txt";
inline constexpr char kDownloadPageObject[] = "/files/plugins/download.htm";
inline constexpr char kUserAgentPrefix[] = "Tunelet Plugin ";
// Only this much of the version file counts.
inline constexpr size_t kVersionFileMaxBytes = 256;
// The longest version text shown ("65535.65535.65535.65535").
inline constexpr size_t kMaxVersionTextLength = 23;

std::string UpdateUserAgent(std::string_view pluginVersion);
std::string DownloadPageUrl();

// The version file's answer as the check keeps it: at most
// kVersionFileMaxBytes, up to the first zero byte.
std::string_view VersionFileText(std::string_view received);

// True when the version file names a newer version than own ("3.0.5.2650"):
// the first "tunelet" (any case) followed by the version and an extension,
// e.g. tunelet3.0.6.zip. Only the one-digit components at positions 1, 3
// and 5 of either version are compared, in that order until they differ; a
// character read there that is not a digit (or missing) makes it "not
// newer", as does an empty answer.
bool IsNewerVersion(std::string_view remote, std::string_view own);
// The remote version ("3.0.6"): the run of digits and dots right after the
// keyword, without the dot that starts the extension. Empty without the
// keyword, when the run is empty, or when it is longer than
// kMaxVersionTextLength: such an answer names no update.
std::string RemoteVersionText(std::string_view remote);

// The whole decision on the version file's answer: the newer version's text,
// or nothing when the answer names no newer version.
std::optional<std::string> NewerVersionIn(std::string_view answer, std::string_view own);

// A finished check, on the user-interface thread: the result goes into
// Settings() (UpdateAvailable, NewVersionText, UpdateCheckPending cleared).
void StoreUpdateResult(bool newer, std::string_view newVersionText);

// The message box that announces a newer version.
struct UpdateNotice {
  std::u16string title;
  std::u16string text;
};

// A text followed by one space and a value; a text that already ends in a
// space (a language file's quoted value) gets no second one.
std::u16string JoinWithSpace(std::u16string_view text, std::u16string_view value);

// ReportUpdateResult: shows the stored result on the open options dialog
// (view, or null when it is closed) and returns the message box to show, if
// any. The caller shows it last: after it nothing of the plug-in is touched.
std::optional<UpdateNotice> ReportUpdateResult(IUpdateView* view, const IUiTexts& texts);

// btgetupClick's part on the buttons: disabled, "checking".
void ShowCheckStarted(IUpdateView& view, const IUiTexts& texts);
// btloadupClick's part on the buttons, after the page was opened.
void ShowDownloadStarted(IUpdateView& view, const IUiTexts& texts);

}  // namespace tunelet
