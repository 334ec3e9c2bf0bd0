#pragma once
#include <cstdint>
#include <memory>

#include "base/text.h"
#include "platform/file.h"

namespace vellum {

// An archive seen as a structured storage of top-level elements: the shell's
// ZIP folder on Windows, or the built-in reader where the shell has none.

enum ElementType : uint32_t { kElementStorage = 1, kElementStream = 2 };

// What the storage reports of one element.
struct ElementStat {
  Text name;
  uint32_t type = 0;
  uint64_t size = 0;
  FileTime mtime = 0, ctime = 0, atime = 0;
};

// An element's bytes, read front to back.
class ByteStream {
 public:
  virtual ~ByteStream() = default;
  // False for a failure; a short count at the end of the data is not one.
  virtual bool Read(void* buffer, uint32_t size, uint32_t& bytesRead) = 0;
};

class ElementEnumerator {
 public:
  enum class Result { kElement, kEnd, kFailed };
  virtual ~ElementEnumerator() = default;
  virtual Result Next(ElementStat& stat) = 0;
};

class ArchiveStorage {
 public:
  virtual ~ArchiveStorage() = default;
  // Null when the storage cannot be enumerated.
  virtual std::unique_ptr<ElementEnumerator> EnumElements() = 0;
  // Null when there is no such stream or it cannot be opened.
  virtual std::unique_ptr<ByteStream> OpenStream(const Text& name) = 0;
};

}  // namespace vellum
