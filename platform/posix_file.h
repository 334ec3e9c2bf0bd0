#pragma once
// Native builds only (posix_file_portable.cpp): the publisher's tool and the
// benchmarks read and write real files through the viewer's File interface.
#include <memory>
#include <string>

#include "platform/file.h"

namespace vellum {

class PosixFile final : public File {
 public:
  // Takes the descriptor over: it is closed with the object.
  explicit PosixFile(int fd) : fd_(fd) {}
  // A regular file only; anything else is refused with errno EISDIR.
  static std::unique_ptr<PosixFile> OpenForReading(const std::string& path);
  ~PosixFile() override;
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;

  bool Read(void* buffer, uint32_t size, uint32_t& bytesRead) override;
  bool Write(const void* data, uint32_t size, uint32_t& bytesWritten) override;
  bool Seek(uint64_t offset) override;
  bool GetSize(uint64_t& size) override;
  bool SetTimes(const FileTimes& times) override;
  // Flushes to the disk; false when the data may not have arrived.
  bool Sync();

 private:
  int fd_;
};

}  // namespace vellum
