#pragma once
#include <cstdint>

#include "crypto/sha256.h"

namespace vellum {

// Portable SHA-256 (FIPS 180-4) for processors without the SHA extensions.
class SHA256x final : public SHA256 {
 public:
  SHA256x();

  void Update(const uint8_t* data, uint32_t length) override;
  void Final(uint8_t digest[32]) override;

  // Bytes of the blocks already compressed; Final adds the buffered ones.
  uint64_t messageLength = 0;
  uint32_t blockFill = 0;
  // Two blocks long so that Final can lay out a second padding block in place.
  uint8_t blockBuffer[128];
  // H0 to H7 in native byte order.
  uint32_t hashState[8];

 private:
  // Compresses consecutive 64-byte blocks; a count of zero or less does nothing.
  void Compress(const uint8_t* data, int32_t blocks);
};

}  // namespace vellum
