#include "platform/read_exactly.h"

namespace vellum {
namespace {

// Files and archive streams read alike.
template <typename Source>
bool Fill(Source& source, void* buffer, uint32_t size) {
  auto* out = static_cast<uint8_t*>(buffer);
  while (size != 0) {
    uint32_t got = 0;
    if (!source.Read(out, size, got) || got == 0 || got > size) return false;
    out += got;
    size -= got;
  }
  return true;
}

}  // namespace

bool ReadExactly(File& file, void* buffer, uint32_t size) { return Fill(file, buffer, size); }

bool ReadExactly(ByteStream& stream, void* buffer, uint32_t size) { return Fill(stream, buffer, size); }

bool ReadExactly(File& file, uint64_t offset, void* buffer, uint32_t size) {
  return file.Seek(offset) && ReadExactly(file, buffer, size);
}

}  // namespace vellum
