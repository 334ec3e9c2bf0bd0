#include "crypto/rsa_public.h"

namespace vellum {

void RsaPublic(const uint8_t in[1024], const CBigNum& exponent, const CBigNum& modulus,
               uint8_t out[1024]) {
  CBigNum c;
  c.FromBigEndian(in);
  CBigNum r;
  r.ModExp(c, exponent, modulus);
  r.Trim();
  for (int32_t k = 0; k < 256; ++k) {
    const uint32_t limb = k < r.length ? r.limbs[k] : 0;
    uint8_t* b = out + 1020 - 4 * k;
    b[0] = static_cast<uint8_t>(limb >> 24);
    b[1] = static_cast<uint8_t>(limb >> 16);
    b[2] = static_cast<uint8_t>(limb >> 8);
    b[3] = static_cast<uint8_t>(limb);
  }
}

}  // namespace vellum
