#include "core/win32/host_service.h"

#include <windows.h>
#include <oleauto.h>

namespace tunelet::win32 {

namespace {
std::u16string CopyWide(intptr_t ptr) {
  const auto* p = reinterpret_cast<const char16_t*>(ptr);
  return p ? std::u16string(p) : std::u16string();
}
std::u16string FromBstr(BSTR b) {
  if (!b) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(b), ::SysStringLen(b));
}
void ToBstr(BSTR& field, const std::u16string& v) {
  ::SysReAllocStringLen(&field, reinterpret_cast<const OLECHAR*>(v.c_str()), UINT(v.size()));
}
}  // namespace

abi::HostKeptOptions* HostService::Record() {
  return service_ ? service_->GetSharedOptions(descriptor_->DllHandle) : nullptr;
}

void HostService::SetXStatus(int32_t picture, const OptText& title, const OptText& text) {
  if (!service_) return;
  // Copies the plug-in owns for the duration of the call.
  std::u16string t = title ? *title : std::u16string();
  std::u16string x = text ? *text : std::u16string();
  abi::HostMessage m{};
  m.Msg = MSG_SET_XSTATUS;
  m.WParam = picture;
  m.LParam = title ? reinterpret_cast<intptr_t>(t.c_str()) : 0;
  m.NParam = text ? reinterpret_cast<intptr_t>(x.c_str()) : 0;
  m.DllHandle = intptr_t(descriptor_->DllHandle);
  service_->SendToHost(&m);
}

XStatusAnswer HostService::GetXStatus() {
  XStatusAnswer a;
  if (!service_) return a;
  abi::HostMessage m{};
  m.Msg = MSG_GET_XSTATUS;
  m.DllHandle = intptr_t(descriptor_->DllHandle);
  service_->SendToHost(&m);
  a.picture = int32_t(m.WParam);
  a.title = CopyWide(m.LParam);
  a.text = CopyWide(m.NParam);
  return a;
}

bool HostService::LoadHostKept(HostKeptValues& v) {
  abi::HostKeptOptions* r = Record();
  if (!r) return false;
  v.PluginOn = r->PluginOn != 0;
  v.KeepXStatusName = r->KeepXStatusName != 0;
  v.ManualPlayer = r->ManualPlayer != 0;
  v.IgnoreVideo = r->IgnoreVideo != 0;
  v.PopupsOn = r->PopupsOn != 0;
  v.UseLanguageFile = r->UseLanguageFile != 0;
  v.Initialised = r->Initialised != 0;
  v.SavedXStatusValid = r->SavedXStatusValid == 1;
  v.ControlWindowX = r->ControlWindowX;
  v.ControlWindowY = r->ControlWindowY;
  v.SavedXStatusPicture = r->SavedXStatusPicture;
  v.PlayerId = r->PlayerId;
  v.AudioTitleTemplate = FromBstr(r->AudioTitleTemplate);
  v.AudioTextTemplate = FromBstr(r->AudioTextTemplate);
  v.VideoTitleTemplate = FromBstr(r->VideoTitleTemplate);
  v.VideoTextTemplate = FromBstr(r->VideoTextTemplate);
  v.SavedXStatusTitle = FromBstr(r->SavedXStatusTitle);
  v.SavedXStatusText = FromBstr(r->SavedXStatusText);
  v.PasteTemplate = FromBstr(r->PasteTemplate);
  return true;
}

bool HostService::StoreHostKept(const HostKeptValues& v) {
  abi::HostKeptOptions* r = Record();
  if (!r) return false;
  r->PluginOn = v.PluginOn;
  ToBstr(r->AudioTitleTemplate, v.AudioTitleTemplate);
  ToBstr(r->AudioTextTemplate, v.AudioTextTemplate);
  ToBstr(r->VideoTitleTemplate, v.VideoTitleTemplate);
  ToBstr(r->VideoTextTemplate, v.VideoTextTemplate);
  ToBstr(r->PasteTemplate, v.PasteTemplate);
  r->PlayerId = v.PlayerId;
  r->KeepXStatusName = v.KeepXStatusName;
  r->ManualPlayer = v.ManualPlayer;
  r->IgnoreVideo = v.IgnoreVideo;
  r->PopupsOn = v.PopupsOn;
  r->UseLanguageFile = v.UseLanguageFile;
  r->Initialised = 1;
  r->ControlWindowX = v.ControlWindowX;
  r->ControlWindowY = v.ControlWindowY;
  r->SavedXStatusValid = v.SavedXStatusValid ? 1 : 0;
  r->SavedXStatusPicture = v.SavedXStatusPicture;
  ToBstr(r->SavedXStatusTitle, v.SavedXStatusTitle);
  ToBstr(r->SavedXStatusText, v.SavedXStatusText);
  return true;
}

}  // namespace tunelet::win32
