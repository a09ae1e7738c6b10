// Loading and saving PluginSettings: the INI file beside the library and the
// record the host keeps for the plug-in.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "model/host.h"
#include "core/ini_store.h"
#include "model/subsystems.h"

namespace tunelet {

// An INI integer: decimal, or hexadecimal after "0x"/"0X" when the text is
// longer than two characters; nullopt when the text is not a number.
std::optional<int32_t> ParseIniInteger(std::u16string_view text);

// Reads every key into Settings(), writes temp=1 on the first start, applies
// the range rules and opens the language dialog on the first run.
void LoadSettings(IIniFile& ini, ILanguage& language);
// Writes the INI keys from Settings() (no range rules); Mediasession is set
// only for the media session chosen by hand.
void SaveSettings(IIniFile& ini);

// Host record <-> Settings(). Load returns false when the host has no record.
// It takes UseLanguageFile from the record; the core loads the language file
// itself, after the user's saved X-status is back. Called after LoadSettings:
// a manual choice with the INI key Mediasession set is the media session.
bool LoadHostKeptOptions(IHost& host);
// ReadXStatusTitle is the host's current title (used with KeepXStatusName).
// The record's player is always a row of the table, never the media session.
bool StoreHostKeptOptions(IHost& host);

// The options dialog's save: SaveSettings, then StoreHostKeptOptions.
class SettingsOptionsStore final : public IOptionsStore {
 public:
  SettingsOptionsStore(IIniFile& ini, IHost& host) : ini_(ini), host_(host) {}
  void SaveOptions() override;
  void SaveShowControlWindow() override;

 private:
  IIniFile& ini_;
  IHost& host_;
};

}  // namespace tunelet
