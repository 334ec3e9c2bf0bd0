#include "crypto/crypto_factory.h"

#include "crypto/aes256_ni.h"
#include "crypto/aes_scalar3.h"
#include "crypto/sha256h.h"
#include "crypto/sha256x.h"

namespace vellum {

std::shared_ptr<SHA256> CryptoFactory::CreateSHA256() const {
  if (hasShaExtensions) return std::make_shared<SHA256H>();
  return std::make_shared<SHA256x>();
}

std::shared_ptr<AES256> CryptoFactory::CreateAES256(const uint8_t key[32]) const {
  if (hasAesNi) {
    // Object and counts share one allocation; should the round-key area fail,
    // the half-made object is released before bad_alloc leaves.
    auto cipher = std::make_shared<AES256_NI>();
    cipher->roundKeys = AllocateAligned<uint8_t>(240);
    cipher->ExpandKey(key);
    return cipher;
  }
  return std::make_shared<AES_SCALAR3>(key);
}

}  // namespace vellum
