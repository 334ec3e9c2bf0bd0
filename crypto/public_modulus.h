#pragma once
#include <cstdint>

namespace vellum {
// The publisher's 8192-bit RSA modulus, most significant byte first. Chosen
// when the build is configured; only packages sealed with the matching
// private key open.
extern const uint8_t kPublicModulus[1024];
constexpr uint32_t kPublicExponent = 65537;
}  // namespace vellum
