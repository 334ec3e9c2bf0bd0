#pragma once
#include <memory>
#include <string>

#include "platform/posix_file.h"

namespace vellum::tool {

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
