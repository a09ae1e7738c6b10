// A minimal JSON writer for tunelet-inspect: compact objects and arrays,
// UTF-8 output, strings escaped per RFC 8259.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "common/text.h"

namespace tunelet::inspect {

// s as a JSON string literal (quotes included). Lone surrogates become U+FFFD.
inline std::string JsonString(std::u16string_view s) {
  static const char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (char c : Utf16ToUtf8(s)) {
    const uint8_t b = uint8_t(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (b < 0x20) {
          out += "\\u00";
          out += kHex[b >> 4];
          out += kHex[b & 0x0F];
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

class JsonObject {
 public:
  JsonObject& Text(std::string_view key, const OptText& v) {
    return Raw(key, v ? JsonString(*v) : std::string("null"));
  }
  JsonObject& String(std::string_view key, std::u16string_view v) { return Raw(key, JsonString(v)); }
  JsonObject& Number(std::string_view key, uint64_t v) { return Raw(key, std::to_string(v)); }
  JsonObject& Object(std::string_view key, const JsonObject& o) { return Raw(key, o.str()); }
  JsonObject& Bool(std::string_view key, bool v) { return Raw(key, v ? "true" : "false"); }
  JsonObject& Null(std::string_view key) { return Raw(key, "null"); }
  // Milliseconds and the like, to a tenth of a microsecond.
  JsonObject& Decimal(std::string_view key, double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4f", v);
    return Raw(key, buf);
  }
  // A value already written as JSON (an array, an object).
  JsonObject& Raw(std::string_view key, const std::string& value) {
    if (!body_.empty()) body_ += ",";
    body_ += JsonString(AsciiToUtf16(key));
    body_ += ":";
    body_ += value;
    return *this;
  }
  std::string str() const { return "{" + body_ + "}"; }

 private:
  std::string body_;
};

class JsonArray {
 public:
  JsonArray& Add(const JsonObject& o) { return Raw(o.str()); }
  JsonArray& Add(std::u16string_view s) { return Raw(JsonString(s)); }
  JsonArray& Raw(const std::string& value) {
    if (!body_.empty()) body_ += ",";
    body_ += value;
    return *this;
  }
  std::string str() const { return "[" + body_ + "]"; }

 private:
  std::string body_;
};

}  // namespace tunelet::inspect
