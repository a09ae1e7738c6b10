// IHost over the host's ITLKPluginService: builds HostMessage records on the
// stack and copies BSTR fields of HostKeptOptions in and out.
#pragma once

#include "model/host.h"
#include "core/win32/host_abi.h"

namespace tunelet::win32 {

class HostService final : public IHost {
 public:
  HostService(abi::ITLKPluginService* service, const abi::PluginDescriptor* descriptor)
      : service_(service), descriptor_(descriptor) {}
  void SetXStatus(int32_t picture, const OptText& title, const OptText& text) override;
  XStatusAnswer GetXStatus() override;
  bool LoadHostKept(HostKeptValues& out) override;
  bool StoreHostKept(const HostKeptValues& in) override;
  bool HostKeptAvailable() override { return Record() != nullptr; }

 private:
  abi::HostKeptOptions* Record();
  abi::ITLKPluginService* service_;
  const abi::PluginDescriptor* descriptor_;
};

}  // namespace tunelet::win32
