#pragma once
#include <cstddef>
#include <cstdint>

#include "base/text.h"

namespace vellum {

// What the viewer keeps of a package's plain header.
struct PackageHeader {
  Text title;
  uint64_t payloadLength = 0;
  uint8_t payloadDigest[32] = {};
};

// The package file: a 1024-byte sealed header, then the encrypted payload.
// Offsets below are into the plain (unsealed) header.
namespace header_layout {
constexpr size_t kSize = 1024;
constexpr size_t kMaskedRange = 1;        // bytes 1..991 feed the key mask digest
constexpr size_t kMaskedLength = 991;
constexpr size_t kBodyLength = 992;       // encrypted with keystream blocks 0..61
constexpr uint64_t kPayloadFirstBlock = kBodyLength / 16;
constexpr size_t kPayloadLength = 16;     // u64 little-endian
constexpr size_t kZeroWord = 32;          // u16 little-endian, must be 0
constexpr size_t kPayloadDigest = 288;    // 32 bytes
constexpr size_t kTitle = 320;            // UTF-16LE, 0-terminated inside the field
constexpr size_t kTitleUnits = 128;
constexpr size_t kName = 576;             // UTF-16LE, 0-terminated inside the field
constexpr size_t kNameUnits = 192;
constexpr size_t kHeaderDigest = 960;     // SHA-256 of P with this field zeroed
constexpr size_t kKey = 992;              // the AES-256 key K
}  // namespace header_layout

}  // namespace vellum
