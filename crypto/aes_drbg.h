#pragma once
#include <cstdint>
#include <memory>

#include "crypto/aes256.h"
#include "crypto/crypto_factory.h"

namespace vellum {

// AES-256 counter-mode keystream. Keystream block i is the encryption of i as
// a 64-bit little-endian number followed by eight zero bytes. Applying the
// keystream XORs in place, so one operation encrypts and decrypts.
class AES_DRBG {
 public:
  AES_DRBG(const CryptoFactory& factory, const uint8_t key[32]);

  // XORs the next keystream bytes into data. Every call starts on a block
  // boundary; the unused tail of a partial last block is discarded.
  void ApplyKeystream(uint8_t* data, int32_t length);

  // The number of the next keystream block (bytes 0-7 of counterBlock).
  uint64_t blockCounter() const;
  void setBlockCounter(uint64_t value);

  alignas(8) uint8_t counterBlock[16];
  std::shared_ptr<AES256> cipher;
};

}  // namespace vellum
