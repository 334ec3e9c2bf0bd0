#pragma once
// The viewer's OS seam over POSIX files, for timing and measuring a whole
// load natively on a real (tmpfs) folder. Backslashes in paths become
// slashes; archives are opened with the built-in ZIP reader.
#include "platform/platform.h"

namespace vellum::bench {

class PosixPlatform final : public Platform {
 public:
  std::unique_ptr<File> OpenForReading(const Text& path) override;
  std::unique_ptr<File> CreateAlways(const Text& path) override;
  bool DeleteFile(const Text& path) override;
  bool CreateDirectory(const Text& path) override;
  bool RemoveDirectory(const Text& path) override;
  std::unique_ptr<FileSearch> FindFiles(const Text& pattern) override;
  bool NewGuidText(Text& text) override;
  // No shell here: the package reads archives itself, times as UTC, names
  // without the UTF-8 flag as code page 437.
  std::unique_ptr<ArchiveStorage> OpenShellArchive(const Text&) override { return nullptr; }
  FileTime LocalTimeToUtc(FileTime local) override { return local; }
  bool DecodeLegacyName(const uint8_t*, size_t, Text&) override { return false; }

 private:
  unsigned guids_ = 0;
};

}  // namespace vellum::bench
