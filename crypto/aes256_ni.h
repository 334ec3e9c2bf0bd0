#pragma once
#include <cstdint>

#include "crypto/aes256.h"
#include "crypto/aligned_block.h"

namespace vellum {

// AES-256 with the processor's AES instructions. The factory allocates the
// 240-byte round-key area and then calls ExpandKey once.
class AES256_NI final : public AES256 {
 public:
  AES256_NI() = default;

  // Writes the 15 round keys for the 32 bytes at key into roundKeys.
  void ExpandKey(const uint8_t key[32]);

  void EncryptBlock(const uint8_t in[16], uint8_t out[16]) const override;
  void XorCounterBlocks(const uint8_t first[16], int32_t count,
                        uint8_t* data) const override;

  // Round keys 0 to 14, 16 bytes each in FIPS 197 byte order; 16-byte aligned
  // because the round instructions take them as memory operands.
  AlignedBlock<uint8_t> roundKeys;
};

}  // namespace vellum
