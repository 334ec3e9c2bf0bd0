#pragma once
#include <cstdint>

#include "crypto/big_num.h"

namespace vellum {

// out = in^exponent mod modulus, both blocks 1024 bytes big-endian; the result
// is padded with leading zero bytes. in need not be smaller than modulus.
void RsaPublic(const uint8_t in[1024], const CBigNum& exponent, const CBigNum& modulus,
               uint8_t out[1024]);

}  // namespace vellum
