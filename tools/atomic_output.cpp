#include "tools/atomic_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdio.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace vellum::tool {

std::unique_ptr<AtomicOutput> AtomicOutput::Create(const std::string& path, bool overwrite,
                                                   bool privateToOwner, std::string& error) {
  if (!overwrite && ::access(path.c_str(), F_OK) == 0) {
    error = path + " exists already (use --force to replace it)";
    return nullptr;
  }
  std::vector<char> name(path.begin(), path.end());
  const char kSuffix[] = ".partial-XXXXXX";
  name.insert(name.end(), kSuffix, kSuffix + sizeof kSuffix);  // with its terminator
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    error = "cannot create a file beside " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  ::fchmod(fd, privateToOwner ? 0600 : 0644);
  std::unique_ptr<AtomicOutput> output(new AtomicOutput());
  output->path_ = path;
  output->temporaryPath_ = name.data();
  output->overwrite_ = overwrite;
  output->file_ = std::make_unique<PosixFile>(fd);
  return output;
}

AtomicOutput::~AtomicOutput() {
  if (!committed_) ::unlink(temporaryPath_.c_str());
}

bool AtomicOutput::Commit(std::string& error) {
  if (!file_->Sync()) {
    error = "cannot write " + path_ + ": " + std::strerror(errno);
    return false;
  }
  file_.reset();
  // Without overwrite the rename itself refuses a file that appeared meanwhile.
  const int renamed = overwrite_ ? ::rename(temporaryPath_.c_str(), path_.c_str())
                                 : ::renameat2(AT_FDCWD, temporaryPath_.c_str(), AT_FDCWD,
                                               path_.c_str(), RENAME_NOREPLACE);
  if (renamed != 0) {
    error = errno == EEXIST ? path_ + " exists already (use --force to replace it)"
                            : "cannot create " + path_ + ": " + std::strerror(errno);
    return false;
  }
  committed_ = true;
  return true;
}

}  // namespace vellum::tool
