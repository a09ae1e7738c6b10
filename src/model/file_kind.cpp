#include "model/file_kind.h"

namespace tunelet {

std::u16string FileExtension(std::u16string_view path) {
  const size_t dot = path.rfind(u'.');
  if (dot == std::u16string_view::npos || dot == 0) return {};
  std::u16string ext(path.substr(dot + 1));
  if (ext.size() >= 7) return {};
  for (auto& c : ext)
    if (c >= u'a' && c <= u'z') c = char16_t(c - 32);
  return ext;
}

bool IsVideoFile(std::u16string_view path) {
  const std::u16string ext = FileExtension(path);  // already upper-cased
  for (std::u16string_view v : {u"AVI", u"MPG", u"MPEG", u"MP4", u"WMV", u"MOV", u"MKV", u"FLV"})
    if (ext == v) return true;
  return false;
}

bool TrackIsVideo(const TrackInfo& t) { return t.IsVideo || IsVideoFile(View(t.FilePath)); }

}  // namespace tunelet
