#include "sim_text.h"

#include <windows.h>

#include <cstdio>

namespace talkeo_sim {

std::string ToUtf8(const std::wstring& s) {
  if (s.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n > 0 ? n : 0), '\0');
  if (n > 0) ::WideCharToMultiByte(CP_UTF8, 0, s.data(), int(s.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring FromUtf8(const std::string& s) {
  if (s.empty()) return {};
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0);
  std::wstring out(size_t(n > 0 ? n : 0), L'\0');
  if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), out.data(), n);
  return out;
}

std::string QuoteText(const std::wstring& s) {
  std::wstring q = L"\"";
  for (wchar_t c : s) {
    switch (c) {
      case L'\\': q += L"\\\\"; break;
      case L'"': q += L"\\\""; break;
      case L'\n': q += L"\\n"; break;
      case L'\r': q += L"\\r"; break;
      case L'\t': q += L"\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          wchar_t esc[8];
          std::swprintf(esc, 8, L"\\u%04X", unsigned(c));
          q += esc;
        } else {
          q += c;
        }
    }
  }
  q += L'"';
  return ToUtf8(q);
}

bool UnquoteText(const std::string& quoted, std::wstring& out) {
  const std::wstring q = FromUtf8(quoted);
  if (q.size() < 2 || q.front() != L'"' || q.back() != L'"') return false;
  out.clear();
  for (size_t i = 1; i + 1 < q.size(); ++i) {
    wchar_t c = q[i];
    if (c == L'"') return false;  // an unescaped quote inside
    if (c != L'\\') {
      out += c;
      continue;
    }
    if (++i + 1 > q.size() - 1) return false;  // a backslash right before the closing quote
    switch (q[i]) {
      case L'\\': out += L'\\'; break;
      case L'"': out += L'"'; break;
      case L'n': out += L'\n'; break;
      case L'r': out += L'\r'; break;
      case L't': out += L'\t'; break;
      case L'u': {
        if (q.size() - 1 - (i + 1) < 4) return false;
        unsigned v = 0;
        for (int k = 1; k <= 4; ++k) {
          const wchar_t h = q[i + k];
          v <<= 4;
          if (h >= L'0' && h <= L'9') v |= unsigned(h - L'0');
          else if (h >= L'a' && h <= L'f') v |= unsigned(h - L'a' + 10);
          else if (h >= L'A' && h <= L'F') v |= unsigned(h - L'A' + 10);
          else return false;
        }
        out += wchar_t(v);
        i += 4;
        break;
      }
      default: return false;
    }
  }
  return true;
}

}  // namespace talkeo_sim
