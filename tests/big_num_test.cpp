#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "crypto/big_num.h"
#include "crypto/public_modulus.h"
#include "crypto/rsa_public.h"

namespace vellum {
namespace {

// Values as plain limb vectors, least significant first, without leading zero limbs
// (zero is {0}); the arithmetic here is an independent reference for the class.
using Limbs = std::vector<uint32_t>;
using Block = std::array<uint8_t, 1024>;

Limbs Trimmed(Limbs v) {
  while (v.size() > 1 && v.back() == 0) v.pop_back();
  if (v.empty()) v.push_back(0);
  return v;
}

Limbs ValueOf(const CBigNum& n) { return Trimmed(Limbs(n.limbs, n.limbs + n.length)); }

CBigNum Make(const Limbs& v) {
  CBigNum n;
  n.Reserve(static_cast<int32_t>(v.size()));
  std::copy(v.begin(), v.end(), n.limbs);
  n.length = static_cast<int32_t>(v.size());
  return n;
}

bool Less(const Limbs& a, const Limbs& b) {
  const Limbs x = Trimmed(a), y = Trimmed(b);
  if (x.size() != y.size()) return x.size() < y.size();
  return std::lexicographical_compare(x.rbegin(), x.rend(), y.rbegin(), y.rend());
}

// a * b + c, row by row.
Limbs MultiplyAdd(const Limbs& a, const Limbs& b, const Limbs& c) {
  Limbs out(a.size() + b.size() + c.size() + 1, 0);
  std::copy(c.begin(), c.end(), out.begin());
  for (size_t i = 0; i < a.size(); ++i) {
    uint64_t carry = 0;
    size_t k = i;
    for (size_t j = 0; j < b.size(); ++j, ++k) {
      const uint64_t sum = uint64_t{a[i]} * b[j] + out[k] + carry;
      out[k] = static_cast<uint32_t>(sum);
      carry = sum >> 32;
    }
    for (; carry != 0; ++k) {
      const uint64_t sum = out[k] + carry;
      out[k] = static_cast<uint32_t>(sum);
      carry = sum >> 32;
    }
  }
  return Trimmed(out);
}

Limbs PowerOfTwo(uint32_t bits) {
  Limbs v(bits / 32 + 1, 0);
  v.back() = 1u << (bits % 32);
  return v;
}

// Fixed-seed generator (splitmix64) so failures reproduce.
class Random {
 public:
  uint32_t Next() {
    state_ += 0x9E3779B97F4A7C15ull;
    uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<uint32_t>((z ^ (z >> 31)) >> 16);
  }
  // length limbs with a non-zero top limb.
  Limbs Number(size_t length) {
    Limbs v(length);
    for (uint32_t& limb : v) limb = Next();
    if (v.back() == 0) v.back() = 1;
    return v;
  }

 private:
  uint64_t state_ = 0x5EED;
};

void ExpectCapacityInSteps(const CBigNum& n) {
  EXPECT_EQ(n.capacity % 128, 0);
  EXPECT_GE(n.capacity, std::max(n.length, 128));
}

void ExpectDivides(const Limbs& u, const Limbs& v) {
  CBigNum q, r;
  Make(u).DivMod(Make(v), q, r);
  EXPECT_EQ(MultiplyAdd(ValueOf(q), v, ValueOf(r)), Trimmed(u))
      << "dividend " << u.size() << " limbs, divisor " << v.size();
  EXPECT_TRUE(Less(ValueOf(r), v));
  EXPECT_TRUE(q.length == 1 || q.limbs[q.length - 1] != 0);  // Trimmed.
  EXPECT_TRUE(r.length == 1 || r.limbs[r.length - 1] != 0);
  ExpectCapacityInSteps(q);
  ExpectCapacityInSteps(r);
}

TEST(BigNumTest, CapacityGrowsInStepsOf128) {
  CBigNum n;
  EXPECT_EQ(n.length, 0);
  EXPECT_EQ(n.capacity, 128);
  n = Make(Random().Number(129));
  EXPECT_EQ(n.capacity, 256);
  CBigNum copy(n);
  EXPECT_EQ(copy.capacity, 256);
  EXPECT_EQ(ValueOf(copy), ValueOf(n));
  EXPECT_EQ(CBigNum(Make({7})).capacity, 128);

  n.Reserve(300);  // Keeps the limbs in use.
  EXPECT_EQ(n.capacity, 384);
  EXPECT_EQ(ValueOf(n), ValueOf(copy));

  CBigNum product = Make(Random().Number(256));
  product.Square();
  EXPECT_EQ(product.capacity, 512);
  product.ShiftLeft(32 * 200 + 3);
  ExpectCapacityInSteps(product);
}

TEST(BigNumTest, FromBigEndianPutsLastByteLowestAndKeepsLeadingZeros) {
  Block bytes;
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
  CBigNum n = Make(Random().Number(300));
  n.FromBigEndian(bytes.data());
  EXPECT_EQ(n.length, 256);
  EXPECT_EQ(n.limbs[0], 0xFCFDFEFFu);
  EXPECT_EQ(n.limbs[255], 0x00010203u);

  CBigNum zero;
  zero.FromBigEndian(Block{}.data());
  EXPECT_EQ(zero.length, 256);
  EXPECT_EQ(zero.capacity, 256);
  EXPECT_EQ(ValueOf(zero), Limbs{0});
}

TEST(BigNumTest, MultiplyMatchesReference) {
  Random random;
  const Limbs ones(5, 0xFFFFFFFF);
  CBigNum n = Make(ones);
  n.Multiply(Make(ones));
  EXPECT_EQ(ValueOf(n), MultiplyAdd(ones, ones, {0}));
  for (size_t a : {1, 2, 17, 128, 129}) {
    for (size_t b : {1, 3, 127, 256}) {
      const Limbs x = random.Number(a), y = random.Number(b);
      CBigNum p = Make(x);
      p.Multiply(Make(y));
      EXPECT_EQ(ValueOf(p), MultiplyAdd(x, y, {0})) << a << " x " << b;
    }
  }
  CBigNum zero = Make(random.Number(40));
  zero.Multiply(Make({0, 0}));
  EXPECT_EQ(zero.length, 1);
  EXPECT_EQ(zero.limbs[0], 0u);
}

TEST(BigNumTest, SquareMatchesMultiplyBySelf) {
  Random random;
  for (size_t length : {1, 127, 128, 129, 255, 256, 257, 512}) {
    // All-ones limbs drive every doubled product into its 65th bit.
    for (const Limbs& x : {random.Number(length), Limbs(length, 0xFFFFFFFF)}) {
      CBigNum squared = Make(x), multiplied = Make(x), aliased = Make(x);
      squared.Square();
      multiplied.Multiply(Make(x));
      aliased.Multiply(aliased);
      EXPECT_EQ(ValueOf(squared), ValueOf(multiplied)) << length;
      EXPECT_EQ(ValueOf(aliased), ValueOf(multiplied)) << length;
      EXPECT_EQ(squared.length, multiplied.length);
      ExpectCapacityInSteps(squared);
    }
  }
}

// (2^(32n) - 1)^2 = 2^(64n) - 2^(32n + 1) + 1: every column of the product
// carries as much as it can, into limbs whose values are known.
TEST(BigNumTest, AllOnesSquareHasClosedForm) {
  for (size_t length : {1, 2, 3, 128, 129, 300}) {
    Limbs expected(2 * length, 0);
    expected[0] = 1;
    expected[length] = 0xFFFFFFFE;
    for (size_t i = length + 1; i < 2 * length; ++i) expected[i] = 0xFFFFFFFF;
    CBigNum squared = Make(Limbs(length, 0xFFFFFFFF)), multiplied = squared;
    squared.Square();
    multiplied.Multiply(Make(Limbs(length, 0xFFFFFFFF)));
    EXPECT_EQ(ValueOf(squared), Trimmed(expected)) << length;
    EXPECT_EQ(ValueOf(multiplied), Trimmed(expected)) << length;
  }
}

TEST(BigNumTest, SubtractBorrowsAcrossLimbs) {
  CBigNum n = Make({0, 0, 0, 1});
  n.Subtract(Make({1}));
  EXPECT_EQ(ValueOf(n), (Limbs{0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}));
  EXPECT_EQ(n.length, 3);

  CBigNum shorter = Make({5});  // The subtrahend carries leading zero limbs.
  shorter.Subtract(Make({3, 0, 0}));
  EXPECT_EQ(ValueOf(shorter), Limbs{2});
  EXPECT_EQ(shorter.length, 1);

  CBigNum self = Make(Random().Number(130));
  self.Subtract(self);
  EXPECT_EQ(self.length, 1);
  EXPECT_EQ(self.limbs[0], 0u);
}

TEST(BigNumTest, ShiftsMultiplyAndDivideByPowersOfTwo) {
  Random random;
  const Limbs x = random.Number(9);
  for (uint32_t bits : {0u, 1u, 31u, 32u, 33u, 95u, 1000u}) {
    CBigNum n = Make(x);
    n.ShiftLeft(bits);
    EXPECT_EQ(ValueOf(n), MultiplyAdd(x, PowerOfTwo(bits), {0})) << bits;
    n.ShiftRight(bits);
    EXPECT_EQ(ValueOf(n), x) << bits;
    EXPECT_EQ(n.length, 9);
  }
  CBigNum n = Make({0x80000001, 0x3});
  n.ShiftRight(33);
  EXPECT_EQ(ValueOf(n), Limbs{1});
  EXPECT_EQ(n.length, 1);
  n = Make(x);
  n.ShiftRight(9 * 32);
  EXPECT_EQ(ValueOf(n), Limbs{0});
  n = Make(x);
  n.ShiftRight(0xFFFFFFFF);
  EXPECT_EQ(ValueOf(n), Limbs{0});
}

TEST(BigNumDivModTest, DividendNotAboveDivisor) {
  CBigNum q, r;
  Make({5, 0, 0}).DivMod(Make({0, 1}), q, r);
  EXPECT_EQ(ValueOf(q), Limbs{0});
  EXPECT_EQ(ValueOf(r), Limbs{5});

  const Limbs x = Random().Number(200);
  Limbs padded = x;
  padded.resize(260, 0);
  Make(x).DivMod(Make(padded), q, r);
  EXPECT_EQ(ValueOf(q), Limbs{1});
  EXPECT_EQ(ValueOf(r), Limbs{0});
  EXPECT_EQ(r.length, 1);
}

TEST(BigNumDivModTest, QuotientDigitCorrections) {
  // Short division.
  CBigNum q, r;
  Make({0, 0, 1}).DivMod(Make({3, 0}), q, r);
  EXPECT_EQ(ValueOf(q), (Limbs{0x55555555, 0x55555555}));
  EXPECT_EQ(ValueOf(r), Limbs{1});
  // Estimate capped at 2^32 - 1, then refined.
  Make({0, 0, 0x80000000}).DivMod(Make({1, 0x80000000}), q, r);
  EXPECT_EQ(ValueOf(q), Limbs{0xFFFFFFFF});
  EXPECT_EQ(ValueOf(r), (Limbs{1, 0x7FFFFFFF}));
  // Estimate two too large.
  Make({0, 0, 0x7FFFFFFF}).DivMod(Make({0xFFFFFFFE, 0x80000000}), q, r);
  EXPECT_EQ(ValueOf(q), Limbs{0xFFFFFFFC});
  EXPECT_EQ(ValueOf(r), (Limbs{0xFFFFFFF8, 5}));
  // Refined estimate still one too large: the add-back step.
  Make({0, 0, 0, 1}).DivMod(Make({1, 0, 0x80000000}), q, r);
  EXPECT_EQ(ValueOf(q), Limbs{1});
  EXPECT_EQ(ValueOf(r), (Limbs{0xFFFFFFFF, 0xFFFFFFFF, 0x7FFFFFFF}));
  // The same add-back through divisors of every length the multiply-subtract
  // takes in wider steps: 2^(32m) / (2^(32m-1) + 1).
  for (size_t m : {4, 5, 6, 7, 8, 9, 256, 257}) {
    Limbs u(m + 1, 0), v(m, 0), remainder(m, 0xFFFFFFFF);
    u.back() = 1;
    v.front() = 1;
    v.back() = 0x80000000;
    remainder.back() = 0x7FFFFFFF;
    Make(u).DivMod(Make(v), q, r);
    EXPECT_EQ(ValueOf(q), Limbs{1}) << m << " limbs";
    EXPECT_EQ(ValueOf(r), remainder) << m << " limbs";
  }
}

TEST(BigNumDivModTest, RandomValuesSatisfyDivisionIdentity) {
  Random random;
  const size_t lengths[] = {1, 2, 3, 5, 16, 127, 128, 129, 255, 256, 257, 400, 512};
  for (size_t u_length : lengths) {
    for (size_t v_length : lengths) {
      if (v_length > u_length + 1) continue;
      Limbs u = random.Number(u_length), v = random.Number(v_length);
      ExpectDivides(u, v);
      v.back() = 1;  // Needs the largest normalisation shift.
      ExpectDivides(u, v);
      v.back() = 0xFFFFFFFF;
      std::fill(u.begin(), u.end(), 0xFFFFFFFF);
      ExpectDivides(u, v);
    }
  }
}

TEST(BigNumDivModTest, UnnormalisedDivisorAgreesWithScaledValues) {
  Random random;
  const Limbs u = random.Number(512);
  Limbs v = random.Number(256);
  v.back() &= 0x7FFFFFFF;
  CBigNum q, r;
  Make(u).DivMod(Make(v), q, r);
  for (uint32_t bits : {1u, 7u, 31u, 32u, 45u}) {
    CBigNum u_scaled = Make(u), v_scaled = Make(v), q_scaled, r_scaled;
    u_scaled.ShiftLeft(bits);
    v_scaled.ShiftLeft(bits);
    u_scaled.DivMod(v_scaled, q_scaled, r_scaled);
    EXPECT_EQ(ValueOf(q_scaled), ValueOf(q)) << bits;
    r_scaled.ShiftRight(bits);
    EXPECT_EQ(ValueOf(r_scaled), ValueOf(r)) << bits;
  }
  EXPECT_EQ(MultiplyAdd(ValueOf(q), v, ValueOf(r)), u);
}

TEST(BigNumDivModTest, ResultsMayOverwriteOperands) {
  Random random;
  const Limbs u = random.Number(20), v = random.Number(7);
  CBigNum q_expected, r_expected;
  Make(u).DivMod(Make(v), q_expected, r_expected);

  CBigNum dividend = Make(u), divisor = Make(v);
  dividend.DivMod(divisor, dividend, divisor);
  EXPECT_EQ(ValueOf(dividend), ValueOf(q_expected));
  EXPECT_EQ(ValueOf(divisor), ValueOf(r_expected));

  CBigNum reduced = Make(u);
  reduced.Reduce(Make(v));
  EXPECT_EQ(ValueOf(reduced), ValueOf(r_expected));
}

TEST(BigNumDivModTest, ZeroDivisorLeavesDividendAsRemainder) {
  CBigNum q, r;
  Make({9, 4}).DivMod(Make({0, 0}), q, r);
  EXPECT_EQ(ValueOf(q), Limbs{0});
  EXPECT_EQ(ValueOf(r), (Limbs{9, 4}));
}

TEST(BigNumModExpTest, ExponentsZeroAndOne) {
  Random random;
  const Limbs base = random.Number(12), modulus = random.Number(5);
  CBigNum result;
  for (const Limbs& zero : {Limbs{0}, Limbs{0, 0, 0}}) {
    result.ModExp(Make(base), Make(zero), Make(modulus));
    EXPECT_EQ(ValueOf(result), Limbs{1});
  }
  result.ModExp(Make(base), Make({0}), Make({1}));
  EXPECT_EQ(ValueOf(result), Limbs{0});

  result.ModExp(Make(base), Make({1, 0}), Make(modulus));
  CBigNum reduced = Make(base);
  reduced.Reduce(Make(modulus));
  EXPECT_EQ(ValueOf(result), ValueOf(reduced));
  EXPECT_TRUE(Less(ValueOf(result), modulus));
}

TEST(BigNumModExpTest, FermatHoldsForMersennePrimes) {
  Random random;
  for (uint32_t bits : {127u, 521u}) {
    CBigNum p = Make(PowerOfTwo(bits));
    p.Subtract(Make({1}));
    CBigNum p_minus_1 = p;
    p_minus_1.Subtract(Make({1}));
    const Limbs a = random.Number(bits / 32 + 3);  // Above p, so reduced first.

    CBigNum one, same;
    one.ModExp(Make(a), p_minus_1, p);
    EXPECT_EQ(ValueOf(one), Limbs{1}) << bits;
    same = Make(a);
    same.ModExp(same, p, p);  // The result may overwrite the base.
    CBigNum a_mod_p = Make(a);
    a_mod_p.Reduce(p);
    EXPECT_EQ(ValueOf(same), ValueOf(a_mod_p)) << bits;
  }
}

Block ModulusPlus(uint8_t addend) {
  Block block;
  std::copy(kPublicModulus, kPublicModulus + 1024, block.begin());
  for (size_t i = block.size(); addend != 0 && i-- > 0;) {
    const unsigned sum = block[i] + addend;
    block[i] = static_cast<uint8_t>(sum);
    addend = static_cast<uint8_t>(sum >> 8);
  }
  return block;
}

TEST(RsaPublicTest, FixedPointsAndModulus) {
  CBigNum exponent, modulus;
  exponent.SetLimb(kPublicExponent);
  modulus.FromBigEndian(kPublicModulus);
  Block zero{}, one{};
  one[1023] = 1;
  const struct {
    Block in, expected;
  } cases[] = {{zero, zero}, {one, one}, {ModulusPlus(0), zero}, {ModulusPlus(1), one}};
  for (const auto& c : cases) {
    Block out;
    out.fill(0xAA);  // Every output byte must be written.
    RsaPublic(c.in.data(), exponent, modulus, out.data());
    EXPECT_EQ(out, c.expected);
  }
}

std::vector<Block> ReadHexBlocks(const std::string& relative_path) {
  std::ifstream file(std::string(VELLUM_SOURCE_DIR) + "/" + relative_path);
  std::vector<Block> blocks;
  std::string digits;
  for (std::string line; std::getline(file, line);) {
    if (line.empty() || line[0] == '#') continue;
    for (char ch : line) {
      if (std::isxdigit(static_cast<unsigned char>(ch))) digits += ch;
    }
  }
  for (size_t at = 0; at + 2048 <= digits.size(); at += 2048) {
    Block block;
    for (size_t i = 0; i < block.size(); ++i) {
      block[i] = static_cast<uint8_t>(std::stoul(digits.substr(at + 2 * i, 2), nullptr, 16));
    }
    blocks.push_back(block);
  }
  return blocks;
}

TEST(RsaPublicTest, UndoesPrivateKeyOperation) {
  // Made with the test private key; the modulus is read from the same key set so the
  // test holds whatever modulus the build embeds.
  const std::vector<Block> modulus_bytes = ReadHexBlocks("keys/test_public_modulus.hex");
  const std::vector<Block> known = ReadHexBlocks("tests/data/rsa_raw_known_answer.hex");
  ASSERT_EQ(modulus_bytes.size(), 1u);
  ASSERT_EQ(known.size(), 2u);
  CBigNum exponent, modulus;
  exponent.SetLimb(kPublicExponent);
  modulus.FromBigEndian(modulus_bytes[0].data());
  Block out = known[1];
  RsaPublic(out.data(), exponent, modulus, out.data());  // In place.
  EXPECT_EQ(out, known[0]);
}

}  // namespace
}  // namespace vellum
