#include "app/cpu_features.h"

#include <cpuid.h>

#include "crypto/gf_mul_table.h"

namespace vellum {

CpuidResult HardwareCpuid(uint32_t leaf, uint32_t subleaf) {
  CpuidResult r{};
  __cpuid_count(leaf, subleaf, r.eax, r.ebx, r.ecx, r.edx);
  return r;
}

void DetectProcessorFeatures(CryptoFactory& factory, CpuidFunction cpuid) {
  constexpr uint32_t kAesNiEcxBit = 1u << 25;
  constexpr uint32_t kShaEbxBit = 1u << 29;

  // The highest standard leaf, compared as a signed number.
  const auto highestLeaf = static_cast<int32_t>(cpuid(0, 0).eax);
  if (highestLeaf >= 1 && (cpuid(1, 0).ecx & kAesNiEcxBit) != 0) factory.hasAesNi = true;
  if (!factory.hasAesNi) BuildGfMulTable();
  if (highestLeaf >= 7 && (cpuid(7, 0).ebx & kShaEbxBit) != 0) factory.hasShaExtensions = true;
}

}  // namespace vellum
