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

 protected:
  AES256() = default;
  ~AES256() = default;
};

}  // namespace vellum
