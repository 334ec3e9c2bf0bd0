#pragma once
#include <cstdint>

namespace vellum {

// A SHA-256 hasher serves one message: any number of Update calls, then one
// Final. Objects come from CryptoFactory::CreateSHA256 only; the shared handle
// made for the concrete class does its clean-up, hence no virtual destructor.
class SHA256 {
 public:
  virtual void Update(const uint8_t* data, uint32_t length) = 0;
  virtual void Final(uint8_t digest[32]) = 0;

 protected:
  SHA256() = default;
  ~SHA256() = default;
};

}  // namespace vellum
