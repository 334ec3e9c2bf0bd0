#include "platform/posix_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vellum {

std::unique_ptr<PosixFile> PosixFile::OpenForReading(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = EISDIR;
    return nullptr;
  }
  return std::make_unique<PosixFile>(fd);
}

PosixFile::~PosixFile() { ::close(fd_); }

bool PosixFile::Read(void* buffer, uint32_t size, uint32_t& bytesRead) {
  // Like ReadFile on a disk file: keep reading until size bytes or the end.
  bytesRead = 0;
  while (bytesRead < size) {
    const ssize_t n = ::read(fd_, static_cast<char*>(buffer) + bytesRead, size - bytesRead);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    bytesRead += static_cast<uint32_t>(n);
  }
  return true;
}

bool PosixFile::Write(const void* data, uint32_t size, uint32_t& bytesWritten) {
  bytesWritten = 0;
  while (bytesWritten < size) {
    const ssize_t n = ::write(fd_, static_cast<const char*>(data) + bytesWritten, size - bytesWritten);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytesWritten += static_cast<uint32_t>(n);
  }
  return true;
}

bool PosixFile::Seek(uint64_t offset) {
  return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) != static_cast<off_t>(-1);
}

bool PosixFile::GetSize(uint64_t& size) {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return false;
  size = static_cast<uint64_t>(st.st_size);
  return true;
}

bool PosixFile::SetTimes(const FileTimes& times) {
  // FILETIME counts 100 ns from 1601; Unix time counts from 1970.
  constexpr uint64_t kUnixEpoch = 116444736000000000ull;
  auto toTimespec = [](FileTime t) {
    struct timespec ts {};
    if (t < kUnixEpoch) {
      ts.tv_nsec = UTIME_OMIT;
    } else {
      ts.tv_sec = static_cast<time_t>((t - kUnixEpoch) / 10000000);
      ts.tv_nsec = static_cast<long>((t - kUnixEpoch) % 10000000 * 100);
    }
    return ts;
  };
  const struct timespec both[2] = {toTimespec(times.lastAccess), toTimespec(times.lastWrite)};
  return ::futimens(fd_, both) == 0;  // Unix keeps no creation time
}

bool PosixFile::Sync() { return ::fsync(fd_) == 0; }

}  // namespace vellum
