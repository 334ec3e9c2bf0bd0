#pragma once
#include <memory>
#include <string>

#include "platform/file.h"

namespace vellum::tool {

// The native tool's files, behind the same interface the viewer's payload
// code reads and writes through.
class PosixFile final : public File {
 public:
  static std::unique_ptr<PosixFile> OpenForReading(const std::string& path);
  ~PosixFile() override;

  bool Read(void* buffer, uint32_t size, uint32_t& bytesRead) override;
  bool Write(const void* data, uint32_t size, uint32_t& bytesWritten) override;
  bool Seek(uint64_t offset) override;
  bool GetSize(uint64_t& size) override;
  bool SetTimes(const FileTimes& times) override;
  // Flushes to the disk; false when the data may not have arrived.
  bool Sync();

 private:
  friend class AtomicOutput;
  explicit PosixFile(int fd) : fd_(fd) {}
  int fd_;
};

// An output file that appears under its name only when complete: data goes
// to a temporary file beside it, renamed into place by Commit. Without
// Commit the temporary file is removed, so nothing half-written is left.
class AtomicOutput {
 public:
  // overwrite: replace an existing file of that name (otherwise Commit fails
  // when one exists). privateToOwner: mode 0600 instead of 0644.
  static std::unique_ptr<AtomicOutput> Create(const std::string& path, bool overwrite,
                                              bool privateToOwner, std::string& error);
  ~AtomicOutput();
  File& file() { return *file_; }
  const std::string& temporaryPath() const { return temporaryPath_; }
  bool Commit(std::string& error);

 private:
  AtomicOutput() = default;
  std::string path_, temporaryPath_;
  bool overwrite_ = false, committed_ = false;
  std::unique_ptr<PosixFile> file_;
};

}  // namespace vellum::tool
