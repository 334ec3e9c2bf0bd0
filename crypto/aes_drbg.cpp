#include "crypto/aes_drbg.h"

#include <algorithm>
#include <cstring>

namespace vellum {

AES_DRBG::AES_DRBG(const CryptoFactory& factory, const uint8_t key[32]) {
  cipher = factory.CreateAES256(key);
  std::memset(counterBlock, 0, sizeof counterBlock);
}

void AES_DRBG::ApplyKeystream(uint8_t* data, int32_t length) {
  uint8_t keystream[16];
  // A negative length would never count down to zero; it applies nothing.
  for (int32_t remaining = length; remaining > 0;) {
    cipher->EncryptBlock(counterBlock, keystream);
    const int32_t n = std::min<int32_t>(remaining, 16);
    for (int32_t k = 0; k < n; ++k) data[k] ^= keystream[k];
    setBlockCounter(blockCounter() + 1);  // wraps modulo 2^64; bytes 8-15 stay untouched
    data += n;
    remaining -= n;
  }
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
