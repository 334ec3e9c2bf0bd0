#include "crypto/gf_mul_table.h"

namespace vellum {

uint8_t GfMulTable[65536];

void BuildGfMulTable() {
  for (unsigned a = 0; a < 256; ++a) {
    for (unsigned b = 0; b < 256; ++b) {
      // Shift and add: x runs through a * 2^k reduced by x^8 + x^4 + x^3 + x + 1.
      unsigned product = 0, x = a, y = b;
      while (y != 0) {
        if (y & 1) product ^= x;
        x = ((x << 1) & 0xFF) ^ ((x & 0x80) ? 0x1B : 0);
        y >>= 1;
      }
      GfMulTable[a * 256 + b] = static_cast<uint8_t>(product);
    }
  }
}

}  // namespace vellum
