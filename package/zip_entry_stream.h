#pragma once
#include <cstdint>
#include <memory>

#include "platform/archive_storage.h"
#include "platform/file.h"

namespace vellum::zip {

// Where a file entry's data lies and what it must decode to, from the
// central directory.
struct EntryData {
  uint64_t localOffset = 0, compressedSize = 0, size = 0;
  uint32_t crc = 0;
  uint16_t method = 0, flags = 0;
};

// The entry's bytes, decoded as they are read. Null for encrypted entries,
// methods other than stored and deflated, and a missing local header. Reading
// fails on corrupt data, on data that ends before or after the declared size
// and, with the last byte, on a CRC-32 mismatch. Memory use is fixed. Streams
// of one file may be used in turn: each seeks to its own position.
std::unique_ptr<ByteStream> OpenEntryStream(std::shared_ptr<File> file, const EntryData& entry);

}  // namespace vellum::zip
