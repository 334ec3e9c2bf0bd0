#include "crypto/aes_drbg.h"

#include <cstring>

#include "base/little_endian.h"

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
  return LoadLe64(counterBlock);
}

void AES_DRBG::setBlockCounter(uint64_t value) {
  StoreLe64(counterBlock, value);
}

}  // namespace vellum
