// A small keyboard layout for the hot-key tests: the scan codes and names of
// a US keyboard for the keys the tests use.
#pragma once

#include <map>
#include <string>
#include <utility>

#include "hotkey/shortcut.h"

namespace hotkey_test {

class FakeKeyNames final : public tunelet::IKeyNames {
 public:
  FakeKeyNames() {
    for (int i = 0; i < 12; ++i) Key(uint8_t(0x70 + i), 0x3B + i + (i >= 10 ? 0x57 - 0x45 : 0), u"F" + Number(i + 1));
    for (char16_t c = u'A'; c <= u'Z'; ++c) Key(uint8_t(c), kLetterScan[c - u'A'], std::u16string(1, c));
    for (char16_t c = u'0'; c <= u'9'; ++c) Key(uint8_t(c), c == u'0' ? 0x0B : 0x02 + (c - u'1'), std::u16string(1, c));
    Key(0x08, 0x0E, u"Backspace");
    Key(0x20, 0x39, u"Space");
    Key(0x6B, 0x4E, u"Num +");  // the keypad plus key
    Key(0xBB, 0x0D, u"=");
    Key(0xDC, 0x2B, u"\\");
    Key(0x11, 0x1D, u"Ctrl");
    Key(0x10, 0x2A, u"Shift");
    Key(0x12, 0x38, u"Alt");
    // Page Up shares its scan code with keypad 9: the extended flag tells them apart.
    Key(0x21, 0x49, u"Num 9");
    extended_[0x49] = u"Page Up";
    Key(0x2E, 0x53, u"Num Del");
    extended_[0x53] = u"Delete";
  }

  // Another layout's key: a test gives a virtual key a scan code and the
  // name that scan code has from then on.
  void AddKey(uint8_t vk, uint32_t scan, std::u16string name) { Key(vk, scan, std::move(name)); }

  uint32_t ScanCode(uint8_t vk) const override {
    auto it = scan_.find(vk);
    return it == scan_.end() ? 0 : it->second;
  }
  std::u16string KeyNameText(uint32_t keyData) const override {
    const uint32_t scan = (keyData >> 16) & 0xFF;
    const auto& table = (keyData & (1u << 24)) ? extended_ : names_;
    auto it = table.find(scan);
    return it == table.end() ? std::u16string() : it->second;
  }

 private:
  static constexpr uint8_t kLetterScan[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                              0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                              0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
  static std::u16string Number(int n) {
    std::u16string s;
    if (n >= 10) s += char16_t(u'0' + n / 10);
    s += char16_t(u'0' + n % 10);
    return s;
  }
  void Key(uint8_t vk, uint32_t scan, std::u16string name) {
    scan_[vk] = scan;
    names_[scan] = std::move(name);
  }

  std::map<uint8_t, uint32_t> scan_;
  std::map<uint32_t, std::u16string> names_, extended_;
};

}  // namespace hotkey_test
