#pragma once
#include <cstdint>

namespace vellum {

// A point in time as Windows keeps it: 100-nanosecond intervals since
// 1601-01-01 UTC. 0 means "not given".
using FileTime = uint64_t;

struct FileTimes {
  FileTime creation = 0, lastAccess = 0, lastWrite = 0;
};

// An open file, closed when the object goes. Implemented over Win32 handles,
// by the in-memory test double and by the publisher's native tool.
class File {
 public:
  virtual ~File() = default;
  // Reads up to size bytes at the current position; bytesRead gets the count
  // the system reported (0 on failure).
  virtual bool Read(void* buffer, uint32_t size, uint32_t& bytesRead) = 0;
  virtual bool Write(const void* data, uint32_t size, uint32_t& bytesWritten) = 0;
  // Moves the position to offset bytes from the start.
  virtual bool Seek(uint64_t offset) = 0;
  virtual bool GetSize(uint64_t& size) = 0;
  // Sets the three times; a time of 0 leaves that one as it is.
  virtual bool SetTimes(const FileTimes& times) = 0;
};

}  // namespace vellum
