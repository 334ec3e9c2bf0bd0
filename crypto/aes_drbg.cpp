#include "crypto/aes_drbg.h"

#include <cstring>

namespace vellum {

AES_DRBG::AES_DRBG(const CryptoFactory& factory, const uint8_t key[32]) {
  cipher = factory.CreateAES256(key);
  std::memset(counterBlock, 0, sizeof counterBlock);
}

void AES_DRBG::ApplyKeystream(uint8_t* data, int32_t length) {
  // A negative length would never count down to zero; it applies nothing.
  if (length <= 0) return;
  const int32_t wholeBlocks = length / 16;
  cipher->XorCounterBlocks(counterBlock, wholeBlocks, data);
  setBlockCounter(blockCounter() + static_cast<uint64_t>(wholeBlocks));  // wraps modulo 2^64
  const int32_t tail = length % 16;
  if (tail == 0) return;
  // A partial last block: its whole keystream block, of which only the head
  // is used; the counter still moves past it.
  uint8_t keystream[16] = {};
  cipher->XorCounterBlocks(counterBlock, 1, keystream);
  setBlockCounter(blockCounter() + 1);
  data += 16 * wholeBlocks;
  for (int32_t k = 0; k < tail; ++k) data[k] ^= keystream[k];
}

uint64_t AES_DRBG::blockCounter() const {
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | counterBlock[i];
  return value;
}

void AES_DRBG::setBlockCounter(uint64_t value) {
  for (int i = 0; i < 8; ++i) counterBlock[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace vellum
