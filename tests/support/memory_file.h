#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/file.h"

namespace vellum {

// A file held in memory, for tests. Its bytes are shared so a test can look
// at them after the code under test has dropped the file. Faults can be
// scheduled: a read or write limit and failing calls.
class MemoryFile final : public File {
 public:
  explicit MemoryFile(std::shared_ptr<std::vector<uint8_t>> bytes = std::make_shared<std::vector<uint8_t>>())
      : bytes_(std::move(bytes)) {}

  bool Read(void* buffer, uint32_t size, uint32_t& bytesRead) override {
    bytesRead = 0;
    if (failReads) return false;
    const uint64_t available = position_ < bytes_->size() ? bytes_->size() - position_ : 0;
    const auto n = static_cast<uint32_t>(std::min<uint64_t>({size, available, readLimit}));
    if (n) std::memcpy(buffer, bytes_->data() + position_, n);
    position_ += n;
    bytesRead = n;
    totalRead += n;
    return true;
  }

  bool Write(const void* data, uint32_t size, uint32_t& bytesWritten) override {
    bytesWritten = 0;
    if (failWrites) return false;
    const auto n = static_cast<uint32_t>(std::min<uint64_t>(size, writeLimit));
    if (bytes_->size() < position_ + n) bytes_->resize(position_ + n);
    if (n) std::memcpy(bytes_->data() + position_, data, n);
    position_ += n;
    bytesWritten = n;
    return true;
  }

  bool Seek(uint64_t offset) override {
    position_ = offset;
    return true;
  }

  bool GetSize(uint64_t& size) override {
    size = bytes_->size();
    return true;
  }

  bool SetTimes(const FileTimes& newTimes) override {
    if (failSetTimes) return false;
    if (newTimes.creation) times.creation = newTimes.creation;
    if (newTimes.lastAccess) times.lastAccess = newTimes.lastAccess;
    if (newTimes.lastWrite) times.lastWrite = newTimes.lastWrite;
    return true;
  }

  uint64_t position() const { return position_; }
  const std::vector<uint8_t>& bytes() const { return *bytes_; }

  bool failReads = false, failWrites = false, failSetTimes = false;
  FileTimes times;
  uint64_t readLimit = UINT64_MAX, writeLimit = UINT64_MAX;  // per call
  uint64_t totalRead = 0;

 private:
  std::shared_ptr<std::vector<uint8_t>> bytes_;
  uint64_t position_ = 0;
};

}  // namespace vellum
