#pragma once
#include <cstdint>

namespace vellum {

// FIPS 197 S-box (SubBytes), indexed by the input byte.
extern const uint8_t kFips197SBox[256];

// FIPS 197 round constants Rcon[1] to Rcon[7]: the first byte of each; the other three
// bytes are zero. AES-256 key expansion needs no more than these seven.
extern const uint8_t kFips197Rcon[7];

// FIPS 197 MixColumns matrix: new row i of a column is the sum over j of
// kFips197MixColumns[i][j] times old row j. Defined here so that the compiler
// sees the coefficients and can merge the lookups that repeat.
inline constexpr uint8_t kFips197MixColumns[4][4] = {
    {0x02, 0x03, 0x01, 0x01},
    {0x01, 0x02, 0x03, 0x01},
    {0x01, 0x01, 0x02, 0x03},
    {0x03, 0x01, 0x01, 0x02},
};

}  // namespace vellum
