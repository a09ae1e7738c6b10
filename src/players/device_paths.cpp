#include "players/device_paths.h"

#include "common/text.h"

namespace tunelet {

namespace {

// Longer device names are not considered: with the separator after them they
// would not fit the 255-character buffer of the drive query.
constexpr size_t kMaxDeviceNameLength = 253;

bool StartsWith(std::u16string_view s, std::u16string_view prefix) {
  return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

bool IsAsciiLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// "\??\C:\..." names a drive path directly; "\??\UNC\server\..." a share.
std::optional<std::u16string> FromDosDeviceNamespace(std::u16string_view path) {
  constexpr std::u16string_view kDosDevices = u"\\??\\";
  if (!StartsWith(path, kDosDevices)) return std::nullopt;
  const std::u16string_view rest = path.substr(kDosDevices.size());
  if (rest.size() >= 2 && IsAsciiLetter(rest[0]) && rest[1] == u':') return std::u16string(rest);
  if (rest.size() > 4 && EqualsIgnoreCase(rest.substr(0, 4), u"UNC\\"))
    return u"\\\\" + std::u16string(rest.substr(4));
  return std::nullopt;
}

}  // namespace

std::u16string DevicePathToDrivePath(std::u16string_view path, const std::vector<DosDevice>& drives) {
  // Older systems name network files after the LanManager redirector, newer
  // ones after the multiple UNC provider.
  for (std::u16string_view redirector : {u"\\Device\\LanmanRedirector\\", u"\\Device\\Mup\\"})
    if (StartsWith(path, redirector)) return u"\\\\" + std::u16string(path.substr(redirector.size()));

  if (auto dosPath = FromDosDeviceNamespace(path)) return *dosPath;

  for (const DosDevice& d : drives) {
    const std::u16string_view device = d.DeviceName;
    if (device.empty() || device.size() > kMaxDeviceNameLength || path.size() <= device.size()) continue;
    if (!EqualsIgnoreCase(path.substr(0, device.size()), device)) continue;
    // The device name must end at a separator: \Device\HarddiskVolume1 is
    // not the start of \Device\HarddiskVolume10\...
    if (path[device.size()] != u'\\') continue;
    return std::u16string(d.Drive.substr(0, 2)) + u"\\" + std::u16string(path.substr(device.size() + 1));
  }
  return std::u16string(path);
}

}  // namespace tunelet
