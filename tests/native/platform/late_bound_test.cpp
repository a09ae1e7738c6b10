#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/late_bound.h"

using namespace tunelet::platform;

namespace {

// A system whose DLLs export the given "dll!function" names; every lookup
// is recorded in order.
class FakeSystem {
 public:
  explicit FakeSystem(std::initializer_list<std::string> exports) {
    for (const auto& e : exports) exports_[e] = 0;
  }
  ExportLookup Lookup() {
    return [this](const char* dll, const char* function) -> void* {
      const std::string name = std::string(dll) + "!" + function;
      asked.push_back(name);
      return exports_.count(name) ? Address(name) : nullptr;
    };
  }
  // A distinct fake address per name.
  void* Address(const std::string& name) { return &exports_.at(name); }
  std::vector<std::string> asked;

 private:
  std::map<std::string, int> exports_;
};

constexpr const char* kNew = "kernel32.dll!QueryFullProcessImageNameW";
constexpr const char* kOld = "psapi.dll!GetModuleFileNameExW";

}  // namespace

TEST(ImagePathFunction, NewerSystemUsesTheKernelCallAndLeavesPsapiUnloaded) {
  FakeSystem vista({kNew, kOld});
  const ImagePathFunction f = FindImagePathFunction(vista.Lookup());
  EXPECT_EQ(f.call, ImagePathCall::FullProcessImageName);
  EXPECT_EQ(f.address, vista.Address(kNew));
  EXPECT_EQ(vista.asked, std::vector<std::string>{kNew});
}

TEST(ImagePathFunction, SystemWithoutTheKernelCallFallsBackToPsapi) {
  FakeSystem xp({kOld, "kernel32.dll!GetTickCount"});
  const ImagePathFunction f = FindImagePathFunction(xp.Lookup());
  EXPECT_EQ(f.call, ImagePathCall::ModuleFileNameEx);
  EXPECT_EQ(f.address, xp.Address(kOld));
  EXPECT_EQ(xp.asked, (std::vector<std::string>{kNew, kOld}));

  FakeSystem neither({"kernel32.dll!GetTickCount"});
  const ImagePathFunction none = FindImagePathFunction(neither.Lookup());
  EXPECT_EQ(none.call, ImagePathCall::None);
  EXPECT_EQ(none.address, nullptr);
}

TEST(ExtendTickCount, CountsOnAcrossEachWrapOfTheCounter) {
  EXPECT_EQ(ExtendTickCount(0, 123456), 123456u);  // first reading
  EXPECT_EQ(ExtendTickCount(0, 0xF0000000u), 0xF0000000u);  // first reading after 46 days up
  EXPECT_EQ(ExtendTickCount(1000, 1000), 1000u);  // no time passed
  EXPECT_EQ(ExtendTickCount(0xFFFFFFF0u, 0x10), 0x100000010u);
  EXPECT_EQ(ExtendTickCount(0x100000010u, 0x20), 0x100000020u);

  // A reading every 10 days over 200 days: the count follows the true time.
  constexpr uint64_t kTenDays = 10ull * 24 * 3600 * 1000;
  uint64_t count = 0;
  for (uint64_t t = 5; t < 20 * kTenDays; t += kTenDays) {
    count = ExtendTickCount(count, uint32_t(t));
    ASSERT_EQ(count, t);
  }
  EXPECT_GT(count, 3 * (1ull << 32));  // three wraps passed
}
