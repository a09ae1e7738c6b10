#include "hostkept_store.h"

#include <oleauto.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim_text.h"

namespace talkeo_sim {

using tunelet::abi::HostKeptOptions;

namespace {

constexpr size_t kMaxStoreBytes = 1 << 20;  // a store is a few kilobytes

#define FIELD(name, kind) RecordField{#name, offsetof(HostKeptOptions, name), FieldKind::kind}

uint8_t* At(HostKeptOptions& r, const RecordField& f) { return reinterpret_cast<uint8_t*>(&r) + f.offset; }
const uint8_t* At(const HostKeptOptions& r, const RecordField& f) {
  return reinterpret_cast<const uint8_t*>(&r) + f.offset;
}

std::string Trim(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  const size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

bool ParseInt(const std::string& s, long long lo, long long hi, long long& out) {
  if (s.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(s.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < lo || v > hi) return false;
  out = v;
  return true;
}

std::string SectionHeader(const std::wstring& key) { return "[" + ToUtf8(key) + "]"; }

// The store's lines, the BOM dropped.
bool ReadLines(const std::wstring& file, std::vector<std::string>& lines, bool& exists, std::string* error) {
  lines.clear();
  std::ifstream in(std::filesystem::path(file), std::ios::binary);
  exists = bool(in);
  if (!in) return true;
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (all.size() > kMaxStoreBytes) {
    if (error) *error = "the store file is too large";
    return false;
  }
  if (all.compare(0, 3, "\xEF\xBB\xBF") == 0) all.erase(0, 3);
  std::istringstream ss(all);
  for (std::string line; std::getline(ss, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return true;
}

}  // namespace

const std::vector<RecordField>& RecordFields() {
  static const std::vector<RecordField> kFields = {
      FIELD(PluginOn, Byte),           FIELD(KeepXStatusName, Byte),     FIELD(ManualPlayer, Byte),
      FIELD(IgnoreVideo, Byte),        FIELD(PopupsOn, Byte),            FIELD(UseLanguageFile, Byte),
      FIELD(Initialised, Byte),        FIELD(SavedXStatusValid, Byte),   FIELD(ControlWindowX, Int32),
      FIELD(ControlWindowY, Int32),    FIELD(SavedXStatusPicture, Int32), FIELD(PlayerId, UInt32),
      FIELD(AudioTitleTemplate, Text), FIELD(AudioTextTemplate, Text),   FIELD(VideoTitleTemplate, Text),
      FIELD(VideoTextTemplate, Text),  FIELD(SavedXStatusTitle, Text),   FIELD(SavedXStatusText, Text),
      FIELD(PasteTemplate, Text),
  };
  return kFields;
}
#undef FIELD

const RecordField* FindRecordField(const std::string& name) {
  for (const auto& f : RecordFields())
    if (name == f.name) return &f;
  return nullptr;
}

bool SetRecordField(HostKeptOptions& r, const std::string& name, const std::string& rawValue) {
  const RecordField* f = FindRecordField(name);
  if (!f) return false;
  const std::string value = Trim(rawValue);
  long long v = 0;
  switch (f->kind) {
    case FieldKind::Byte:
      if (!ParseInt(value, 0, 255, v)) return false;
      *At(r, *f) = uint8_t(v);
      return true;
    case FieldKind::Int32: {
      if (!ParseInt(value, INT32_MIN, INT32_MAX, v)) return false;
      const int32_t x = int32_t(v);
      std::memcpy(At(r, *f), &x, 4);
      return true;
    }
    case FieldKind::UInt32: {
      if (!ParseInt(value, 0, UINT32_MAX, v)) return false;
      const uint32_t x = uint32_t(v);
      std::memcpy(At(r, *f), &x, 4);
      return true;
    }
    case FieldKind::Text: {
      BSTR* field = reinterpret_cast<BSTR*>(At(r, *f));
      if (value == "null") {
        ::SysFreeString(*field);
        *field = nullptr;
        return true;
      }
      std::wstring text;
      if (!value.empty() && value.front() == '"') {
        if (!UnquoteText(value, text)) return false;
      } else {
        text = FromUtf8(rawValue);  // a bare text, as typed on a command line
      }
      BSTR fresh = ::SysAllocStringLen(text.data(), UINT(text.size()));
      if (!fresh) return false;
      ::SysFreeString(*field);
      *field = fresh;
      return true;
    }
  }
  return false;
}

std::string RecordFieldText(const HostKeptOptions& r, const RecordField& f) {
  switch (f.kind) {
    case FieldKind::Byte: return std::to_string(unsigned(*At(r, f)));
    case FieldKind::Int32: {
      int32_t x;
      std::memcpy(&x, At(r, f), 4);
      return std::to_string(x);
    }
    case FieldKind::UInt32: {
      uint32_t x;
      std::memcpy(&x, At(r, f), 4);
      return std::to_string(x);
    }
    case FieldKind::Text: {
      BSTR b;
      std::memcpy(&b, At(r, f), sizeof b);
      if (!b) return "null";
      return QuoteText(std::wstring(b, ::SysStringLen(b)));
    }
  }
  return {};
}

void ClearRecordFields(HostKeptOptions& r) {
  for (const auto& f : RecordFields()) {
    if (f.kind == FieldKind::Text) {
      BSTR* field = reinterpret_cast<BSTR*>(At(r, f));
      ::SysFreeString(*field);
      *field = nullptr;
    } else {
      std::memset(At(r, f), 0, f.kind == FieldKind::Byte ? 1 : 4);
    }
  }
}

bool LoadRecord(const std::wstring& file, const std::wstring& key, HostKeptOptions& r, std::string* error) {
  ClearRecordFields(r);
  std::vector<std::string> lines;
  bool exists = false;
  if (!ReadLines(file, lines, exists, error)) return false;
  const std::string header = SectionHeader(key);
  bool inside = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string line = Trim(lines[i]);
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line[0] == '[') {
      inside = _stricmp(line.c_str(), header.c_str()) == 0;
      continue;
    }
    if (!inside) continue;
    const size_t eq = line.find('=');
    const std::string name = eq == std::string::npos ? line : Trim(line.substr(0, eq));
    if (eq == std::string::npos || !SetRecordField(r, name, line.substr(eq + 1))) {
      if (error) *error = "line " + std::to_string(i + 1) + ": bad entry \"" + line + "\"";
      return false;
    }
  }
  return true;
}

bool SaveRecord(const std::wstring& file, const std::wstring& key, const HostKeptOptions& r, std::string* error) {
  std::vector<std::string> lines;
  bool exists = false;
  if (!ReadLines(file, lines, exists, error)) return false;
  const std::string header = SectionHeader(key);

  std::string out;
  if (!exists) out = "# talkeo-sim: the host-kept options of each plug-in, one section per library\n";
  bool inside = false;
  for (const auto& raw : lines) {
    const std::string line = Trim(raw);
    if (!line.empty() && line[0] == '[') inside = _stricmp(line.c_str(), header.c_str()) == 0;
    if (!inside) out += raw + "\n";
  }
  out += header + "\n";
  for (const auto& f : RecordFields()) out += std::string(f.name) + " = " + RecordFieldText(r, f) + "\n";

  // Written beside and renamed over, so a crash mid-write keeps the old store.
  const std::wstring temp = file + L".new";
  {
    std::ofstream o(std::filesystem::path(temp), std::ios::binary | std::ios::trunc);
    o << out;
    o.close();
    if (!o) {
      if (error) *error = "cannot write " + ToUtf8(temp);
      return false;
    }
  }
  if (!::MoveFileExW(temp.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    ::DeleteFileW(temp.c_str());
    if (error) *error = "cannot replace " + ToUtf8(file);
    return false;
  }
  return true;
}

}  // namespace talkeo_sim
