// The host-kept options records of the simulated host, kept between runs in a
// UTF-8 text file with one section per plug-in library:
//
//   [tunelet.dll]
//   PluginOn = 1
//   SavedXStatusPicture = 11
//   AudioTitleTemplate = "Слушаю:"
//   SavedXStatusTitle = null
//
// Numbers are decimal; texts are quoted with the escapes \\ \" \n \r \t and
// \uXXXX, or null for a null string. Sections of other plug-ins survive a save.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "core/win32/host_abi.h"

namespace talkeo_sim {

enum class FieldKind { Byte, Int32, UInt32, Text };
struct RecordField {
  const char* name;
  size_t offset;
  FieldKind kind;
};
// The fields the plug-in uses, in record order.
const std::vector<RecordField>& RecordFields();
const RecordField* FindRecordField(const std::string& name);

// Sets one field from its text form (a number, or a text as in the file,
// quoted or bare); false when the name or the value is not valid.
bool SetRecordField(tunelet::abi::HostKeptOptions& r, const std::string& name, const std::string& value);
// The file form of a field's value.
std::string RecordFieldText(const tunelet::abi::HostKeptOptions& r, const RecordField& f);

// Frees the record's strings and zeroes its fields (not the host's bytes).
void ClearRecordFields(tunelet::abi::HostKeptOptions& r);

// Reads section `key` of the store into r (cleared first). A missing file or
// section leaves r cleared and succeeds.
bool LoadRecord(const std::wstring& file, const std::wstring& key, tunelet::abi::HostKeptOptions& r,
                std::string* error);
// Rewrites section `key` of the store with r.
bool SaveRecord(const std::wstring& file, const std::wstring& key, const tunelet::abi::HostKeptOptions& r,
                std::string* error);

}  // namespace talkeo_sim
