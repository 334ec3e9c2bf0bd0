#pragma once
// Seals hand-made plain headers with the test private key, so tests can make
// packages the publisher's tool never would (a wrong zero word, a field
// without its terminator, a changed uninterpreted byte).
#include <cstdint>
#include <memory>
#include <vector>

#include "base/text.h"
#include "crypto/crypto_factory.h"
#include "tools/rsa_key.h"

namespace vellum::testing {

const tool::RsaKey& TestKey();

struct PlainHeader {
  uint8_t bytes[1024];
};

// A valid plain header for the given fields, key K = 0x11, 0x12, ...
PlainHeader MakePlainHeader(const CryptoFactory& factory, const Text& title, const Text& name,
                            const std::vector<uint8_t>& payload);
// Seals P as it stands (digest untouched) into a package: sealed header, then
// the payload encrypted from block 62 under P's key.
std::vector<uint8_t> SealPackageBytes(const CryptoFactory& factory, const PlainHeader& plain,
                                      const std::vector<uint8_t>& payload);

}  // namespace vellum::testing
