// Calls on files of network shares wait a bounded time: a share that stalls
// gives an unopened or unreadable file, never a stalled caller.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/wait_budget.h"
#include "platform/win32/network_file.h"

namespace tunelet::win32 {
namespace {

// Far beyond the budgets below, but short enough for the stuck calls to end
// within the test.
constexpr DWORD kStallMs = 800;
constexpr uint32_t kBudgetMs = 300;

// A file whose reads take delayMs each, as on a share that answers slowly.
class SlowFile final : public platform::ReadableFile {
 public:
  explicit SlowFile(DWORD delayMs) : delayMs_(delayMs) {}
  uint64_t Size() const override { return 100; }
  size_t ReadAt(uint64_t, uint8_t* dst, size_t n) override {
    ::Sleep(delayMs_);
    std::fill_n(dst, n, uint8_t('x'));
    return n;
  }

 private:
  DWORD delayMs_;
};

FileOpener Opener(DWORD openDelayMs, DWORD readDelayMs) {
  return [=]() -> std::unique_ptr<platform::ReadableFile> {
    ::Sleep(openDelayMs);
    return std::make_unique<SlowFile>(readDelayMs);
  };
}

uint64_t Now() { return ::GetTickCount64(); }

class NetworkFile : public ::testing::Test {
 protected:
  // Calls left stuck by a case end before the next case starts.
  void TearDown() override {
    for (int i = 0; i < 100 && NetworkFileLane().StuckCount() > 0; ++i) ::Sleep(20);
    EXPECT_EQ(NetworkFileLane().StuckCount(), 0u);
  }
};

TEST_F(NetworkFile, AShareThatAnswersReadsAsAnyFile) {
  const TickWaitScope tick(kBudgetMs);
  auto file = OpenBoundedFile(Opener(0, 0));
  ASSERT_TRUE(file);
  EXPECT_EQ(file->Size(), 100u);
  const auto bytes = file->Read(10, 20);
  EXPECT_EQ(bytes, std::vector<uint8_t>(20, uint8_t('x')));
}

TEST_F(NetworkFile, AStalledReadCostsOneBoundedWaitThenTheFileReadsNothing) {
  const TickWaitScope tick(kBudgetMs);
  auto file = OpenBoundedFile(Opener(0, kStallMs));
  ASSERT_TRUE(file);
  const uint64_t start = Now();
  EXPECT_TRUE(file->Read(0, 16).empty());
  EXPECT_LT(Now() - start, uint64_t(kStallMs)) << "the caller waited for the share";
  const uint64_t again = Now();
  EXPECT_TRUE(file->Read(16, 16).empty());
  EXPECT_LT(Now() - again, 100u) << "a stalled file must not be waited on twice";
}

TEST_F(NetworkFile, AStalledOpenGivesNoFile) {
  const TickWaitScope tick(kBudgetMs);
  const uint64_t start = Now();
  EXPECT_FALSE(OpenBoundedFile(Opener(kStallMs, 0)));
  EXPECT_LT(Now() - start, uint64_t(kStallMs));
}

TEST_F(NetworkFile, ExistenceAndSizeOfAnUnreachableShareAreNoFile) {
  // Wine answers for an unknown server at once; the bounded path still runs.
  EXPECT_FALSE(platform::FileExists(u"\\\\tunelet-no-such-server\\share\\a.mp3"));
  EXPECT_EQ(platform::FileSizeFromDirectory(u"\\\\tunelet-no-such-server\\share\\a.mp3"), 0u);
  EXPECT_FALSE(platform::OpenForRead(u"\\\\tunelet-no-such-server\\share\\a.mp3"));
}

}  // namespace
}  // namespace tunelet::win32
