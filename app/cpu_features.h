#pragma once
#include <cstdint>

#include "crypto/crypto_factory.h"

namespace vellum {

struct CpuidResult {
  uint32_t eax, ebx, ecx, edx;
};
// Executes CPUID for a leaf and sub-leaf.
using CpuidFunction = CpuidResult (*)(uint32_t leaf, uint32_t subleaf);
CpuidResult HardwareCpuid(uint32_t leaf, uint32_t subleaf);

// Records AES-NI and the SHA extensions in the factory. When AES-NI is
// missing, fills GfMulTable before anything can ask for a portable cipher.
// The only code that looks at processor features.
void DetectProcessorFeatures(CryptoFactory& factory, CpuidFunction cpuid = HardwareCpuid);

}  // namespace vellum
