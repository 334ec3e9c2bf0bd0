#pragma once
#include <cstdint>

namespace vellum {

// Non-negative integer in base 2^32, least significant limb first. Textbook
// arithmetic for the one RSA public operation per start; only public values
// pass through it, so nothing here is constant-time.
//
// Capacity is always a multiple of 128 limbs. Limbs at and above length are
// meaningless. Zero is one limb of value 0 after Trim.
class CBigNum {
 public:
  CBigNum();
  CBigNum(const CBigNum& other);
  CBigNum& operator=(const CBigNum& other);
  virtual ~CBigNum();

  void FromBigEndian(const uint8_t bytes[1024]);
  void Multiply(const CBigNum& other);
  void Square();
  void Reduce(const CBigNum& modulus);
  void DivMod(const CBigNum& divisor, CBigNum& quotient, CBigNum& remainder) const;
  void Subtract(const CBigNum& other);
  void ShiftLeft(uint32_t bits);
  void ShiftRight(uint32_t bits);
  void ModExp(const CBigNum& base, const CBigNum& exponent, const CBigNum& modulus);
  void Trim();

  // Grows capacity (to a multiple of 128) so that count limbs fit, keeping the
  // limbs in use.
  void Reserve(int32_t count);
  // Sets the value to a single limb.
  void SetLimb(uint32_t value);

  uint32_t* limbs;
  int32_t length;
  int32_t capacity;
};

}  // namespace vellum
