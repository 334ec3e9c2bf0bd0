#pragma once
#include <cstdint>

#include "platform/archive_storage.h"
#include "platform/file.h"

namespace vellum {

// Reads until size bytes have come, reading again after a short count; false
// when a read fails, the data ends first (a read that brings nothing) or a
// read reports more than it was asked for.
bool ReadExactly(File& file, void* buffer, uint32_t size);
bool ReadExactly(ByteStream& stream, void* buffer, uint32_t size);
// The same from offset bytes into the file.
bool ReadExactly(File& file, uint64_t offset, void* buffer, uint32_t size);

}  // namespace vellum
