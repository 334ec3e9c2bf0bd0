#pragma once
#include <cstdint>

#include "crypto/aligned_block.h"
#include "crypto/sha256.h"

namespace vellum {

// SHA-256 (FIPS 180-4) with the processor's SHA extensions. Only the factory
// makes one, and only when the processor has them.
class SHA256H final : public SHA256 {
 public:
  // Allocates both state blocks and loads the initial hash value.
  SHA256H();

  void Update(const uint8_t* data, uint32_t length) override;
  void Final(uint8_t digest[32]) override;

  uint8_t blockBuffer[64];
  uint32_t blockFill = 0;
  // Every byte given to Update.
  uint64_t messageLength = 0;
  // The state as SHA256RNDS2 takes it, as 32-bit words from the lowest
  // address: H5, H4, H1, H0 and H7, H6, H3, H2.
  AlignedBlock<uint32_t> stateAbef;
  AlignedBlock<uint32_t> stateCdgh;

 private:
  // Compresses consecutive 64-byte blocks, none for a count of 0; they need
  // not be aligned.
  void Compress(const uint8_t* data, uint32_t blocks);
};

}  // namespace vellum
