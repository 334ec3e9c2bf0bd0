#include "tests/oracle/support/sealing.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "crypto/aes_drbg.h"
#include "package/package_format.h"
#include "tools/sealer.h"

namespace vellum::testing {

const tool::RsaKey& TestKey() {
  static std::unique_ptr<tool::RsaKey> key = [] {
    std::string error;
    auto k = tool::RsaKey::LoadPrivate(VELLUM_SOURCE_DIR "/keys/test_private_key.pem", error);
    if (!k) std::abort();
    return k;
  }();
  return *key;
}

PlainHeader MakePlainHeader(const CryptoFactory& factory, const Text& title, const Text& name,
                            const std::vector<uint8_t>& payload) {
  uint8_t digest[32], key[32];
  auto hasher = factory.CreateSHA256();
  hasher->Update(payload.data(), static_cast<uint32_t>(payload.size()));
  hasher->Final(digest);
  for (int i = 0; i < 32; ++i) key[i] = static_cast<uint8_t>(0x11 + i);
  PlainHeader plain;
  if (!tool::BuildPlainHeader(title, name, payload.size(), digest, key, factory, plain.bytes)) std::abort();
  return plain;
}

std::vector<uint8_t> SealPackageBytes(const CryptoFactory& factory, const PlainHeader& plain,
                                      const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> package(header_layout::kSize);
  if (!tool::SealPlainHeader(plain.bytes, TestKey(), factory, package.data())) std::abort();
  std::vector<uint8_t> encrypted = payload;
  AES_DRBG generator(factory, plain.bytes + header_layout::kKey);
  generator.setBlockCounter(header_layout::kPayloadFirstBlock);
  for (size_t at = 0; at < encrypted.size(); at += 65536) {
    const size_t n = std::min<size_t>(65536, encrypted.size() - at);
    generator.ApplyKeystream(encrypted.data() + at, static_cast<int32_t>(n));
  }
  package.insert(package.end(), encrypted.begin(), encrypted.end());
  return package;
}

}  // namespace vellum::testing
