#pragma once
#include "platform/platform.h"

namespace vellum {

// The seam over the real Windows APIs. OpenShellArchive uses the shell and
// COM, which the calling thread must have initialised.
class Win32Platform final : public Platform {
 public:
  std::unique_ptr<File> OpenForReading(const Text& path) override;
  std::unique_ptr<File> CreateAlways(const Text& path) override;
  bool DeleteFile(const Text& path) override;
  bool CreateDirectory(const Text& path) override;
  bool RemoveDirectory(const Text& path) override;
  std::unique_ptr<FileSearch> FindFiles(const Text& pattern) override;
  bool NewGuidText(Text& text) override;
  std::unique_ptr<ArchiveStorage> OpenShellArchive(const Text& path) override;
  FileTime LocalTimeToUtc(FileTime local) override;
  bool DecodeLegacyName(const uint8_t* bytes, size_t size, Text& name) override;
};

}  // namespace vellum
