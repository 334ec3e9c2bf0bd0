#pragma once
#include <cstdint>

namespace vellum {

// AES-256 encryption of single 16-byte blocks (there is no decryption: the
// cipher only drives a counter-mode keystream). Objects come from
// CryptoFactory::CreateAES256 only, keyed once.
class AES256 {
 public:
  // in and out may be the same buffer; neither needs alignment.
  virtual void EncryptBlock(const uint8_t in[16], uint8_t out[16]) const = 0;

  // XORs the encryptions of count consecutive counter blocks into data
  // (16 * count bytes); over zeros that writes the blocks' encryptions.
  // Block k is first with the 64-bit little-endian number in its first eight
  // bytes raised by k, modulo 2^64; its last eight bytes are first's, with no
  // carry into them. The same as count EncryptBlock calls XORed in, only
  // faster where the blocks go through the rounds together and the XOR rides
  // along with the last round. Nothing for count <= 0.
  virtual void XorCounterBlocks(const uint8_t first[16], int32_t count,
                                uint8_t* data) const = 0;

 protected:
  AES256() = default;
  ~AES256() = default;
};

}  // namespace vellum
