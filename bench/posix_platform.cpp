#include "bench/posix_platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "base/utf8.h"
#include "platform/posix_file.h"

namespace vellum::bench {
namespace {

std::string NativePath(const Text& path) {
  std::string native = TextToUtf8(path);
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

class PrefixSearch final : public FileSearch {
 public:
  PrefixSearch(DIR* dir, std::string prefix) : dir_(dir), prefix_(std::move(prefix)) {}
  ~PrefixSearch() override { ::closedir(dir_); }
  PrefixSearch(const PrefixSearch&) = delete;
  PrefixSearch& operator=(const PrefixSearch&) = delete;

  bool Next(FoundEntry& entry) override {
    while (const dirent* found = ::readdir(dir_)) {
      const std::string name = found->d_name;
      if (name == "." || name == ".." || name.compare(0, prefix_.size(), prefix_) != 0) continue;
      Utf8ToText(name, entry.name);
      entry.isDirectory = found->d_type == DT_DIR;
      entry.isReparsePoint = found->d_type == DT_LNK;
      return true;
    }
    return false;
  }

 private:
  DIR* dir_;
  std::string prefix_;
};

}  // namespace

std::unique_ptr<File> PosixPlatform::OpenForReading(const Text& path) {
  const int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  return std::make_unique<PosixFile>(fd);
}

std::unique_ptr<File> PosixPlatform::CreateAlways(const Text& path) {
  const int fd = ::open(NativePath(path).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  return std::make_unique<PosixFile>(fd);
}

bool PosixPlatform::DeleteFile(const Text& path) { return ::unlink(NativePath(path).c_str()) == 0; }

bool PosixPlatform::CreateDirectory(const Text& path) {
  return ::mkdir(NativePath(path).c_str(), 0700) == 0;
}

bool PosixPlatform::RemoveDirectory(const Text& path) {
  return ::rmdir(NativePath(path).c_str()) == 0;
}

std::unique_ptr<FileSearch> PosixPlatform::FindFiles(const Text& pattern) {
  // Only the patterns the loader and folder helpers use: folder/prefix*.
  const std::string native = NativePath(pattern);
  const size_t slash = native.rfind('/');
  if (slash == std::string::npos || native.back() != '*') return nullptr;
  const std::string folder = native.substr(0, slash);
  const std::string prefix = native.substr(slash + 1, native.size() - slash - 2);
  // Like FindFirstFile: no search at all when nothing matches.
  DIR* probeDir = ::opendir(folder.c_str());
  if (!probeDir) return nullptr;
  FoundEntry first;
  if (!PrefixSearch(probeDir, prefix).Next(first)) return nullptr;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return nullptr;
  return std::make_unique<PrefixSearch>(dir, prefix);
}

bool PosixPlatform::NewGuidText(Text& text) {
  char guid[64];
  std::snprintf(guid, sizeof guid, "{%08X-0000-4000-8000-%012X}", static_cast<unsigned>(::getpid()),
                ++guids_);
  return Utf8ToText(guid, text);
}

}  // namespace vellum::bench
