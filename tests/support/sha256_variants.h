#pragma once
#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/cpu_features.h"
#include "crypto/crypto_factory.h"

namespace vellum {

using Sha256Digest = std::array<uint8_t, 32>;

inline bool ProcessorHasShaExtensions() {
  CryptoFactory detected;
  DetectProcessorFeatures(detected);
  return detected.hasShaExtensions;
}

// Hashes size bytes at data with one hasher from factory: one Update per entry
// of pieces, then one with whatever is left.
inline Sha256Digest HashInPieces(const CryptoFactory& factory, const uint8_t* data, size_t size,
                                 const std::vector<uint32_t>& pieces = {}) {
  auto hasher = factory.CreateSHA256();
  for (uint32_t piece : pieces) {
    hasher->Update(data, piece);
    data += piece;
    size -= piece;
  }
  hasher->Update(data, static_cast<uint32_t>(size));
  Sha256Digest digest;
  hasher->Final(digest.data());
  return digest;
}

inline std::string ToHex(const Sha256Digest& digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (uint8_t byte : digest) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

// Runs each test with a factory that makes the portable hasher (false) or the
// SHA-extension hasher (true).
class Sha256VariantTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { factory.hasShaExtensions = GetParam(); }

  CryptoFactory factory;
};

// The portable variant, and the SHA-extension one when the processor has it.
// A missing variant is left out rather than skipped: under Wine on an emulated
// processor, a skipped (or failed) test brings the whole test program down.
inline std::vector<bool> AvailableSha256Variants() {
  if (ProcessorHasShaExtensions()) return {false, true};
  return {false};
}

inline std::string Sha256VariantName(const ::testing::TestParamInfo<bool>& info) {
  return info.param ? "ShaExtensions" : "Portable";
}

}  // namespace vellum
