#pragma once
#include <cstdint>
#include <memory>

#include "base/text.h"
#include "crypto/aes_drbg.h"
#include "crypto/crypto_factory.h"
#include "package/package_format.h"

namespace vellum {

// Opens and checks the 1024 sealed bytes at the start of a package with the
// program's public key. On success fills header and returns the keystream
// generator standing at the first payload block; an empty handle means the
// package is corrupted (wrong key, damage, or sealed for another name).
std::shared_ptr<AES_DRBG> UnsealHeader(const uint8_t sealed[1024], PackageHeader& header,
                                       const CryptoFactory& factory, const Text& expectedName);

// The same with an explicit 1024-byte big-endian modulus, for the publisher's
// tool, which checks packages against any public key.
std::shared_ptr<AES_DRBG> UnsealHeaderWithModulus(const uint8_t sealed[1024], PackageHeader& header,
                                                  const CryptoFactory& factory,
                                                  const Text& expectedName,
                                                  const uint8_t modulusBytes[1024],
                                                  UnsealFailure* failure = nullptr);

// The steps after the RSA operation: unmasks, decrypts and checks the opened
// block in place. Separate so that tests can make opened blocks without the
// private key.
std::shared_ptr<AES_DRBG> OpenHeaderBlock(uint8_t block[1024], PackageHeader& header,
                                          const CryptoFactory& factory, const Text& expectedName,
                                          UnsealFailure* failure = nullptr);

}  // namespace vellum
