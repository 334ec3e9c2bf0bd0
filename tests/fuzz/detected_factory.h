#pragma once
#include "app/cpu_features.h"
#include "crypto/crypto_factory.h"

namespace vellum::fuzzing {

// The factory as start-up fills it on this processor, made once per process.
inline const CryptoFactory& DetectedFactory() {
  static const CryptoFactory factory = [] {
    CryptoFactory f;
    DetectProcessorFeatures(f);
    return f;
  }();
  return factory;
}

}  // namespace vellum::fuzzing
