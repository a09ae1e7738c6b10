// The privacy choices in the INI file's section "Privacy":
//   Player<row>=1|0        one per player (the foobar2000 rows share row 9's)
//   Apps=<n>, App<i>=<application id>, Appshared<i>=1|0   (i from 1)
//   Exclusions=<n>, Exclusion<i>=<pattern line>            (i from 1)
//   Pauselimit=<minutes>   0..1440, 0 = never
//   Calminterval=<seconds> 0..600, 0 = every change at once
// Missing keys give the defaults (everything shared, no rule); values out of
// range give 0; counts, id and line lengths are capped on load.
#pragma once

#include "core/ini_store.h"
#include "model/privacy_settings.h"

namespace tunelet {

// Reads the section; errors are swallowed (what was read so far stands).
PrivacySettings LoadPrivacySettings(IIniFile& ini);
// Writes the section. Values a line of the INI file cannot hold (line breaks,
// NULs) and values past the caps are left out rather than written broken.
void SavePrivacySettings(IIniFile& ini, const PrivacySettings& privacy);

}  // namespace tunelet
