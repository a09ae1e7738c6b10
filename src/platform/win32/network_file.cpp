#include "platform/win32/network_file.h"

#include <algorithm>
#include <vector>

namespace tunelet::win32 {

namespace {

class BoundedFile final : public platform::ReadableFile {
 public:
  explicit BoundedFile(std::shared_ptr<platform::ReadableFile> file)
      : file_(std::move(file)), size_(file_->Size()) {}

  uint64_t Size() const override { return size_; }

  size_t ReadAt(uint64_t offset, uint8_t* dst, size_t n) override {
    if (stalled_) return 0;
    // The task reads into a buffer of its own: after a time-out dst is gone.
    auto bytes = RunOnFileLane<std::vector<uint8_t>>([file = file_, offset, n] { return file->Read(offset, n); });
    if (!bytes) {
      stalled_ = true;
      return 0;
    }
    const size_t got = std::min(bytes->size(), n);
    std::copy_n(bytes->data(), got, dst);
    return got;
  }

 private:
  std::shared_ptr<platform::ReadableFile> file_;  // shared with calls still running
  uint64_t size_;
  bool stalled_ = false;
};

}  // namespace

BoundedLane& NetworkFileLane() {
  static BoundedLane lane(BoundedLane::Apartment::None);
  return lane;
}

std::unique_ptr<platform::ReadableFile> OpenBoundedFile(FileOpener open) {
  using Shared = std::shared_ptr<platform::ReadableFile>;
  const auto file = RunOnFileLane<Shared>([open = std::move(open)]() -> Shared { return open(); });
  if (!file || !*file) return nullptr;
  return std::make_unique<BoundedFile>(*file);
}

}  // namespace tunelet::win32
