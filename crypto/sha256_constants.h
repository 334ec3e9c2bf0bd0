#pragma once
#include <cstdint>

namespace vellum {

// FIPS 180-4 5.3.3: the SHA-256 initial hash value H(0), H0 first.
extern const uint32_t kSha256InitialHash[8];

// FIPS 180-4 4.2.2: the SHA-256 round constants K0 to K63. Aligned so that the
// SHA-extension rounds can add four of them at a time as one aligned operand.
alignas(16) extern const uint32_t kSha256RoundConstants[64];

// SHA-256 reads message words and writes the digest and the bit count
// big-endian, whatever the processor's byte order.
inline uint32_t LoadBigEndian32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

inline void StoreBigEndian32(uint8_t* p, uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

inline void StoreBigEndian64(uint8_t* p, uint64_t value) {
  StoreBigEndian32(p, static_cast<uint32_t>(value >> 32));
  StoreBigEndian32(p + 4, static_cast<uint32_t>(value));
}

// Writes H0 to H7 as the 32-byte digest.
inline void StoreSha256Digest(uint8_t digest[32], const uint32_t hash[8]) {
  for (int i = 0; i < 8; ++i) StoreBigEndian32(digest + 4 * i, hash[i]);
}

}  // namespace vellum
