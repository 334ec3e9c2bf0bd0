#pragma once
#include <cstdint>

#include "crypto/aes256.h"

namespace vellum {

// Portable, byte-oriented AES-256 for processors without AES-NI. Column mixing
// looks products up in GfMulTable, which must be filled before the first block.
class AES_SCALAR3 final : public AES256 {
 public:
  // Expands the 32-byte key; the key bytes are not referenced afterwards.
  explicit AES_SCALAR3(const uint8_t key[32]);

  void EncryptBlock(const uint8_t in[16], uint8_t out[16]) const override;
  void XorCounterBlocks(const uint8_t first[16], int32_t count,
                        uint8_t* data) const override;

  // The key schedule w[0] to w[59], each word's bytes in memory order, so these
  // 240 bytes are the 15 round keys end to end.
  uint32_t roundKeys[60];
};

}  // namespace vellum
