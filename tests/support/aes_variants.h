#pragma once
#include <gtest/gtest.h>

#include <string>

#include "app/cpu_features.h"
#include "crypto/crypto_factory.h"
#include "crypto/gf_mul_table.h"

namespace vellum {

inline bool ProcessorHasAesNi() {
  CryptoFactory detected;
  DetectProcessorFeatures(detected);
  return detected.hasAesNi;
}

// Runs each test with a factory that makes the portable cipher (false) and
// one that makes the AES-NI cipher (true); the latter is skipped without AES-NI.
class AesVariantTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    // Other tests may have cleared the table; the portable cipher reads it.
    BuildGfMulTable();
    if (GetParam() && !ProcessorHasAesNi()) GTEST_SKIP() << "processor lacks AES-NI";
    factory.hasAesNi = GetParam();
  }

  CryptoFactory factory;
};

inline std::string AesVariantName(const ::testing::TestParamInfo<bool>& info) {
  return info.param ? "AesNi" : "Portable";
}

}  // namespace vellum
