// The big-number arithmetic against OpenSSL's BN on operands of any length
// and shape (leading zero limbs included), aliased operands too.
#include <openssl/bn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "base/little_endian.h"
#include "crypto/big_num.h"

namespace {

using vellum::CBigNum;
using Bn = std::unique_ptr<BIGNUM, decltype(&BN_free)>;

// Operands reach a little past 8192 bits, across two capacity steps; the
// exponents of ModExp stay short enough to keep each run quick.
constexpr size_t kMaxOperandBytes = 1100;
constexpr size_t kMaxExponentBytes = 8;

// Reads the operands front to back: a two-byte length (reduced to the bound)
// and that many little-endian bytes, as many as there are.
class Operands {
 public:
  Operands(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  // At least one limb; the top limbs may be zero.
  CBigNum Next(size_t maxBytes) {
    size_t count = 0;
    if (size_ >= 2) {
      count = vellum::LoadLe16(data_) % (maxBytes + 1);
      Skip(2);
    }
    if (count > size_) count = size_;
    CBigNum n;
    const auto limbs = static_cast<int32_t>((count + 3) / 4);
    n.Reserve(limbs == 0 ? 1 : limbs);
    n.length = limbs == 0 ? 1 : limbs;
    for (int32_t i = 0; i < n.length; ++i) n.limbs[i] = 0;
    for (size_t k = 0; k < count; ++k) n.limbs[k / 4] |= uint32_t{data_[k]} << (8 * (k % 4));
    Skip(count);
    return n;
  }

 private:
  void Skip(size_t count) {
    data_ += count;
    size_ -= count;
  }
  const uint8_t* data_;
  size_t size_;
};

Bn ToBn(const CBigNum& n) {
  std::vector<uint8_t> bytes;
  for (int32_t i = 0; i < n.length; ++i) {
    vellum::AppendLe32(bytes, n.limbs[i]);
  }
  return Bn(BN_lebin2bn(bytes.data(), static_cast<int>(bytes.size()), nullptr), &BN_free);
}

bool IsZero(const CBigNum& n) {
  for (int32_t i = 0; i < n.length; ++i) {
    if (n.limbs[i] != 0) return false;
  }
  return true;
}

// Same value as OpenSSL's, with no zero limb on top.
void Expect(const CBigNum& ours, const BIGNUM* expected, const char* what) {
  const bool trimmed = ours.length >= 1 && (ours.length == 1 || ours.limbs[ours.length - 1] != 0);
  if (trimmed && BN_cmp(ToBn(ours).get(), expected) == 0) return;
  std::fprintf(stderr, "%s: %s (%d limbs), expected %d bits\n", what, trimmed ? "wrong value" : "not trimmed",
               ours.length, BN_num_bits(expected));
  std::abort();
}

BN_CTX* Context() {
  static BN_CTX* ctx = BN_CTX_new();
  return ctx;
}

Bn NewBn() { return Bn(BN_new(), &BN_free); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  Operands operands(data + 1, size - 1);
  const uint8_t operation = data[0] % 6;
  CBigNum a = operands.Next(kMaxOperandBytes);
  const Bn bnA = ToBn(a);
  Bn expected = NewBn();

  switch (operation) {
    case 0: {  // a * b
      const CBigNum b = operands.Next(kMaxOperandBytes);
      BN_mul(expected.get(), bnA.get(), ToBn(b).get(), Context());
      a.Multiply(b);
      Expect(a, expected.get(), "Multiply");
      break;
    }
    case 1: {  // a * a, by squaring and by multiplying a number with itself
      BN_sqr(expected.get(), bnA.get(), Context());
      CBigNum same = a;
      a.Square();
      Expect(a, expected.get(), "Square");
      same.Multiply(same);
      Expect(same, expected.get(), "Multiply by itself");
      break;
    }
    case 2:    // a / b and a mod b into fresh numbers
    case 3: {  // the same with the quotient into a and the remainder into b
      CBigNum b = operands.Next(kMaxOperandBytes);
      Bn expectedRemainder = NewBn();
      if (IsZero(b)) {
        // No answer exists; the arithmetic gives quotient 0 and remainder a.
        BN_zero(expected.get());
        BN_copy(expectedRemainder.get(), bnA.get());
      } else {
        BN_div(expected.get(), expectedRemainder.get(), bnA.get(), ToBn(b).get(), Context());
      }
      if (operation == 2) {
        CBigNum quotient, remainder;
        a.DivMod(b, quotient, remainder);
        Expect(quotient, expected.get(), "DivMod quotient");
        Expect(remainder, expectedRemainder.get(), "DivMod remainder");
      } else {
        a.DivMod(b, a, b);
        Expect(a, expected.get(), "DivMod quotient into the dividend");
        Expect(b, expectedRemainder.get(), "DivMod remainder into the divisor");
      }
      break;
    }
    case 4:    // a^e mod m
    case 5: {  // the same into the base itself
      const CBigNum exponent = operands.Next(kMaxExponentBytes);
      const CBigNum modulus = operands.Next(kMaxOperandBytes);
      if (IsZero(modulus)) return 0;  // no residues to compute in
      BN_mod_exp(expected.get(), bnA.get(), ToBn(exponent).get(), ToBn(modulus).get(), Context());
      if (operation == 4) {
        CBigNum result;
        result.ModExp(a, exponent, modulus);
        Expect(result, expected.get(), "ModExp");
      } else {
        a.ModExp(a, exponent, modulus);
        Expect(a, expected.get(), "ModExp into its base");
      }
      break;
    }
  }
  return 0;
}
