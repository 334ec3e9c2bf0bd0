#pragma once
#include <cstdint>
#include <memory>

#include "crypto/aes256.h"
#include "crypto/sha256.h"

namespace vellum {

// The one place that chooses between the processor-accelerated and the
// portable algorithms. Start-up fills the flags once from CPUID; afterwards
// the factory is read-only and may be shared between threads.
struct CryptoFactory {
  bool hasShaExtensions = false;
  bool hasAesNi = false;

  // A fresh hasher (SHA256H or SHA256x), ready for the first Update.
  std::shared_ptr<SHA256> CreateSHA256() const;
  // A cipher (AES256_NI or AES_SCALAR3) keyed from the 32 bytes at key; the
  // key is not referenced after the call.
  std::shared_ptr<AES256> CreateAES256(const uint8_t key[32]) const;
};

}  // namespace vellum
