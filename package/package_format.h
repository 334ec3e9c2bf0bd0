#pragma once
// The plain header's byte layout, one for the viewer, which opens packages,
// and for the publisher's tool, which seals them.
#include <cstddef>
#include <cstdint>

#include "base/text.h"
#include "crypto/crypto_factory.h"
#include "package/package_header.h"

namespace vellum {

// The package file: a 1024-byte sealed header, then the encrypted payload.
// Offsets below are into the plain (unsealed) header P.
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
constexpr size_t kDigestSize = 32;
// The longest title and name: the terminator takes the field's last unit.
constexpr size_t kMaxTitleUnits = kTitleUnits - 1;
constexpr size_t kMaxNameUnits = kNameUnits - 1;
}  // namespace header_layout

// Which check opening a header failed, for the publisher's tool to report.
enum class UnsealFailure { kNone, kHeaderDigest, kZeroWord, kTitleField, kNameField, kNameMismatch };

// Lays the fields out in a plain header whose every other byte is 0: byte 0,
// the zero word, the uninterpreted bytes, the header digest and K. False,
// with nothing written, when the title or the name does not fit its field.
bool EncodeHeaderFields(const PackageHeader& header, const Text& name, uint8_t plain[1024]);

// Reads the fields of an opened plain header in the order they are checked
// and stops at the first that fails (kZeroWord, kTitleField or kNameField):
// what was read before it stays in header.
UnsealFailure DecodeHeaderFields(const uint8_t plain[1024], PackageHeader& header, Text& name);

// The text of a 0-terminated UTF-16LE field of `units` code units; false when
// the terminator is missing from the field.
bool ReadHeaderText(const uint8_t* field, size_t units, Text& text);

// The header digest: SHA-256 of P with byte 0 and the digest field zeroed
// (here, in place).
void ComputeHeaderDigest(uint8_t plain[1024], const CryptoFactory& factory, uint8_t digest[32]);

// XORs K with the digest of bytes 1..991: masks K when sealing, unmasks it
// when opening.
void ApplyKeyMask(uint8_t block[1024], const CryptoFactory& factory);

// What sealing does before the private-key operation: bytes 0..991 of P
// encrypted with keystream blocks 0..61 under P's K, byte 0 zeroed, K masked.
void CloseHeaderBlock(const uint8_t plain[1024], const CryptoFactory& factory, uint8_t block[1024]);

}  // namespace vellum
