#pragma once
#include <cstddef>
#include <cstdint>

#include "base/little_endian.h"
#include "platform/file.h"
#include "platform/read_exactly.h"

// Record layouts of the ZIP format (PKWARE APPNOTE) as the built-in reader
// needs them. All numbers are little-endian.
namespace vellum::zip {

constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr uint32_t kCentralHeaderSignature = 0x02014b50;
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kEnd64Signature = 0x06064b50;
constexpr uint32_t kEnd64LocatorSignature = 0x07064b50;

constexpr uint32_t kLocalHeaderSize = 30;
constexpr uint32_t kCentralHeaderSize = 46;
constexpr uint32_t kEndSize = 22;
constexpr uint32_t kEnd64Size = 56;
constexpr uint32_t kEnd64LocatorSize = 20;
constexpr uint32_t kMaxCommentSize = 0xFFFF;

constexpr uint16_t kFlagEncrypted = 1 << 0;
constexpr uint16_t kFlagStrongEncryption = 1 << 6;
// Either kind of encryption: such an entry's data is never plain.
constexpr uint16_t kFlagsEncrypted = kFlagEncrypted | kFlagStrongEncryption;
constexpr uint16_t kFlagUtf8Name = 1 << 11;

constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;

constexpr uint16_t kHostUnix = 3;  // high byte of "version made by"

constexpr uint16_t kExtraZip64 = 0x0001;
constexpr uint16_t kExtraNtfs = 0x000A;
constexpr uint16_t kExtraUnixTime = 0x5455;
constexpr uint16_t kExtraUnicodePath = 0x7075;

// A 16- or 32-bit field holding this value has its real value in ZIP64 records.
constexpr uint16_t kSaturated16 = 0xFFFF;
constexpr uint32_t kSaturated32 = 0xFFFFFFFF;

// The fixed part of a central directory record.
struct CentralHeader {
  uint16_t madeBy, flags, method, dosTime, dosDate;
  uint32_t crc;
  uint64_t compressedSize, size, localOffset;
  uint16_t nameLength, extraLength, commentLength;
};

inline CentralHeader ParseCentralHeader(const uint8_t* p) {
  return {LoadLe16(p + 4),  LoadLe16(p + 8),  LoadLe16(p + 10), LoadLe16(p + 12), LoadLe16(p + 14), LoadLe32(p + 16),
          LoadLe32(p + 20), LoadLe32(p + 24), LoadLe32(p + 42), LoadLe16(p + 28), LoadLe16(p + 30), LoadLe16(p + 32)};
}

// Calls visit(id, data, size) for each well-formed extra field; a field that
// claims more bytes than are left ends the walk.
template <typename Visit>
void ForEachExtraField(const uint8_t* extra, size_t size, Visit visit) {
  size_t at = 0;
  while (size - at >= 4) {
    const uint16_t id = LoadLe16(extra + at), length = LoadLe16(extra + at + 2);
    at += 4;
    if (length > size - at) return;
    visit(id, extra + at, static_cast<size_t>(length));
    at += length;
  }
}

}  // namespace vellum::zip
