#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

typedef struct evp_pkey_st EVP_PKEY;

namespace vellum::tool {

// The publisher's RSA key: 8192 bits, public exponent 65537. OpenSSL does the
// key generation and the private operation; everything else is the viewer's
// own code.
class RsaKey {
 public:
  static constexpr int kBits = 8192;

  // Loads a private key; refuses anything but 8192-bit RSA with e = 65537.
  static std::unique_ptr<RsaKey> LoadPrivate(const std::string& path, std::string& error);
  // Generates a new key; progress is called now and then while primes are sought.
  static std::unique_ptr<RsaKey> Generate(const std::function<void()>& progress, std::string& error);
  ~RsaKey();

  // The modulus as 1024 big-endian bytes.
  void Modulus(uint8_t out[1024]) const;
  // out = in^d mod n without padding; in must be below the modulus.
  bool PrivateOperation(const uint8_t in[1024], uint8_t out[1024]) const;
  // The private key as PEM text.
  bool ToPem(std::string& pem) const;

 private:
  explicit RsaKey(EVP_PKEY* key) : key_(key) {}
  static bool HasPublisherShape(EVP_PKEY* key, std::string& error);
  EVP_PKEY* key_;
};

// The modulus as the build consumes it: 2048 hex digits, 64 a line.
std::string ModulusToHex(const uint8_t modulus[1024]);
// Reads such a file back; false with a message when it is not one.
bool ModulusFromHexFile(const std::string& path, uint8_t modulus[1024], std::string& error);

}  // namespace vellum::tool
