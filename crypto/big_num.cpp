#include "crypto/big_num.h"

#include <algorithm>
#include <cstring>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

namespace vellum {
namespace {

constexpr int32_t kCapacityStep = 128;

// Limb count rounded up to the allocation step; never below one step.
int32_t RoundedCapacity(int64_t count) {
  const int64_t rounded =
      std::max<int64_t>(1, (count + kCapacityStep - 1) / kCapacityStep) * kCapacityStep;
  if (rounded > INT32_MAX) throw std::bad_alloc();
  return static_cast<int32_t>(rounded);
}

// Replaces the value of `to` with count limbs from src. src may be to's own array.
void AssignLimbs(CBigNum& to, const uint32_t* src, int32_t count) {
  if (count > to.capacity) {
    const int32_t capacity = RoundedCapacity(count);
    uint32_t* fresh = new uint32_t[capacity]();
    std::copy(src, src + count, fresh);
    delete[] to.limbs;
    to.limbs = fresh;
    to.capacity = capacity;
  } else {
    if (src != to.limbs) std::copy_n(src, count, to.limbs);
  }
  to.length = count;
}

void Exchange(CBigNum& a, CBigNum& b) {
  std::swap(a.limbs, b.limbs);
  std::swap(a.length, b.length);
  std::swap(a.capacity, b.capacity);
}

// Three-way comparison of two limb arrays as numbers; leading zero limbs do not count.
int CompareLimbs(const uint32_t* a, int32_t a_length, const uint32_t* b, int32_t b_length) {
  while (a_length > 0 && a[a_length - 1] == 0) --a_length;
  while (b_length > 0 && b[b_length - 1] == 0) --b_length;
  if (a_length != b_length) return a_length < b_length ? -1 : 1;
  for (int32_t i = a_length - 1; i >= 0; --i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

// A column sum of products, kept as two halves so that adding a product
// never waits for the carry of the one before: low collects the low words,
// high the high words. Columns of up to 2^31 products fit without overflow.
struct ColumnSum {
  uint64_t low = 0, high = 0;

  void Add(uint64_t product) {
    low += static_cast<uint32_t>(product);
    high += product >> 32;
  }
  // Emits the column's limb and carries the rest into the next column.
  uint32_t TakeLimb() {
    const uint32_t limb = static_cast<uint32_t>(low);
    const uint64_t rest = (low >> 32) + static_cast<uint32_t>(high);
    high = (high >> 32);
    low = rest;
    return limb;
  }
};

// out[0 .. an + bn) = a * b, one column at a time (an, bn >= 1).
void MultiplyLimbs(const uint32_t* a, int32_t an, const uint32_t* b, int32_t bn, uint32_t* out) {
  ColumnSum sum;
  for (int32_t k = 0; k < an + bn - 1; ++k) {
    const int32_t first = std::max<int32_t>(0, k - (bn - 1));
    const int32_t last = std::min<int32_t>(k, an - 1);
    ColumnSum second;  // two sums, so that two products are added at a time
    int32_t i = first;
    for (; i + 1 <= last; i += 2) {
      sum.Add(uint64_t{a[i]} * b[k - i]);
      second.Add(uint64_t{a[i + 1]} * b[k - i - 1]);
    }
    if (i <= last) sum.Add(uint64_t{a[i]} * b[k - i]);
    sum.low += second.low;
    sum.high += second.high;
    out[k] = sum.TakeLimb();
  }
  out[an + bn - 1] = sum.TakeLimb();
}

// out[0 .. 2n) = a * a: each product of two different limbs once, doubled,
// plus the squares of the limbs.
[[maybe_unused]] void SquareLimbs32(const uint32_t* a, int32_t n, uint32_t* out) {
  ColumnSum sum;
  for (int32_t k = 0; k < 2 * n - 1; ++k) {
    const int32_t first = std::max<int32_t>(0, k - (n - 1));
    ColumnSum cross, cross2;  // two sums, so that two products are added at a time
    int32_t i = first, j = k - first;
    for (; i + 1 < j - 1; i += 2, j -= 2) {
      cross.Add(uint64_t{a[i]} * a[j]);
      cross2.Add(uint64_t{a[i + 1]} * a[j - 1]);
    }
    for (; i < j; ++i, --j) cross.Add(uint64_t{a[i]} * a[j]);
    cross.low += cross2.low;
    cross.high += cross2.high;
    sum.low += 2 * cross.low;
    sum.high += 2 * cross.high;
    if (k % 2 == 0) sum.Add(uint64_t{a[k / 2]} * a[k / 2]);
    out[k] = sum.TakeLimb();
  }
  out[2 * n - 1] = sum.TakeLimb();
}

#if defined(__SIZEOF_INT128__)
using Wide = unsigned __int128;

// A column sum of 128-bit products in three 64-bit words.
struct WideColumnSum {
  uint64_t w0 = 0, w1 = 0, w2 = 0;

  void Add(uint64_t lo, uint64_t hi) {
    const bool c0 = __builtin_add_overflow(w0, lo, &w0);
    const Wide upper = static_cast<Wide>(w1) + hi + c0;
    w1 = static_cast<uint64_t>(upper);
    w2 += static_cast<uint64_t>(upper >> 64);
  }
  void Add(Wide product) { Add(static_cast<uint64_t>(product), static_cast<uint64_t>(product >> 64)); }
  void AddTwice(const WideColumnSum& other) {
    for (int twice = 0; twice < 2; ++twice) {
      Add(other.w0, other.w1);
      w2 += other.w2;
    }
  }
  uint64_t TakeWord() {
    const uint64_t word = w0;
    w0 = w1;
    w1 = w2;
    w2 = 0;
    return word;
  }
};

// out[0 .. 2n) = a * a over 64-bit words (pairs of limbs, low limb first).
void SquareWords(const uint64_t* a, int32_t n, uint64_t* out) {
  WideColumnSum sum;
  for (int32_t k = 0; k < 2 * n - 1; ++k) {
    WideColumnSum cross;
    for (int32_t i = std::max<int32_t>(0, k - (n - 1)), j = k - i; i < j; ++i, --j) {
      cross.Add(static_cast<Wide>(a[i]) * a[j]);
    }
    sum.AddTwice(cross);
    if (k % 2 == 0) sum.Add(static_cast<Wide>(a[k / 2]) * a[k / 2]);
    out[k] = sum.TakeWord();
  }
  out[2 * n - 1] = sum.TakeWord();
}
#endif

// out[0 .. 2n) = a * a. Where the processor multiplies 64 by 64 bits the
// limbs are taken in pairs: a quarter of the products.
void SquareLimbs(const uint32_t* a, int32_t n, uint32_t* out) {
#if defined(__SIZEOF_INT128__)
  const int32_t words = (n + 1) / 2;
  std::vector<uint64_t> pairs(static_cast<size_t>(words), 0), square(2 * static_cast<size_t>(words));
  std::memcpy(pairs.data(), a, 4 * static_cast<size_t>(n));
  SquareWords(pairs.data(), words, square.data());
  std::memcpy(out, square.data(), 8 * static_cast<size_t>(n));
#else
  SquareLimbs32(a, n, out);
#endif
}

// w[0 .. n] -= q * d[0 .. n), the product being n + 1 limbs. Returns true
// when the product was the larger (w then holds the difference plus 2^(32(n+1))).
bool MultiplySubtract(uint32_t* w, const uint32_t* d, int32_t n, uint32_t q) {
  // With u = q * d[i] + carry + (2^32 - 1 - w[i]), the new limb is the
  // complement of u's low word and the next carry (product high word plus
  // borrow) is u's high word. Only one addition and one shift wait for the
  // carry of the limb before.
  uint64_t carry = 0;  // never above 2^32 - 1
  int32_t i = 0;
#if defined(__x86_64__)
  // On x86-64 two limbs go per step, read and written as one little-endian
  // 64-bit word, through one 64 x 64 multiplication: half the carry chain.
  // Written out because compilers spill the 128-bit product's high half to
  // memory inside this loop.
  if (n >= 4) {
    // Four limbs (two words) per turn; the limbs left over go below.
    const uint64_t pairs = static_cast<uint64_t>(n / 4);
    uint64_t index = 0, complement, second;
    __asm__ volatile(
        "1:\n\t"
        "movq (%[d],%[i],8), %%rax\n\t"
        "mulq %[q]\n\t"
        "movq (%[w],%[i],8), %[c]\n\t"
        "notq %[c]\n\t"
        "addq %[c], %%rax\n\t"
        "adcq $0, %%rdx\n\t"
        "addq %[carry], %%rax\n\t"
        "adcq $0, %%rdx\n\t"
        "notq %%rax\n\t"
        "movq %%rax, (%[w],%[i],8)\n\t"
        "movq %%rdx, %[s]\n\t"
        "movq 8(%[d],%[i],8), %%rax\n\t"
        "mulq %[q]\n\t"
        "movq 8(%[w],%[i],8), %[c]\n\t"
        "notq %[c]\n\t"
        "addq %[c], %%rax\n\t"
        "adcq $0, %%rdx\n\t"
        "addq %[s], %%rax\n\t"
        "adcq $0, %%rdx\n\t"
        "notq %%rax\n\t"
        "movq %%rax, 8(%[w],%[i],8)\n\t"
        "movq %%rdx, %[carry]\n\t"
        "addq $2, %[i]\n\t"
        "cmpq %[n], %[i]\n\t"
        "jne 1b\n\t"
        : [carry] "+r"(carry), [i] "+r"(index), [c] "=&r"(complement), [s] "=&r"(second)
        : [d] "r"(d), [w] "r"(w), [q] "r"(uint64_t{q}), [n] "r"(2 * pairs)
        : "rax", "rdx", "cc", "memory");
    i = static_cast<int32_t>(4 * pairs);
  }
#else
  for (; i + 2 <= n; i += 2) {
    // The products and the complements do not wait for the carry.
    const uint64_t m0 = uint64_t{q} * d[i] + (0xFFFFFFFFu - w[i]);
    const uint64_t m1 = uint64_t{q} * d[i + 1] + (0xFFFFFFFFu - w[i + 1]);
    const uint64_t u0 = m0 + carry;
    w[i] = ~static_cast<uint32_t>(u0);
    const uint64_t u1 = m1 + (u0 >> 32);
    w[i + 1] = ~static_cast<uint32_t>(u1);
    carry = u1 >> 32;
  }
#endif
  for (; i < n; ++i) {
    const uint64_t u = uint64_t{q} * d[i] + (0xFFFFFFFFu - w[i]) + carry;
    w[i] = ~static_cast<uint32_t>(u);
    carry = u >> 32;
  }
  const uint64_t u = carry + (0xFFFFFFFFu - w[n]);
  w[n] = ~static_cast<uint32_t>(u);
  return (u >> 32) != 0;
}

// w[0 .. size) += d[0 .. n), dropping the carry out of the top limb (size > n).
void AddBack(uint32_t* w, const uint32_t* d, int32_t n, int32_t size) {
  uint64_t carry = 0;
  for (int32_t i = 0; i < n; ++i) {
    const uint64_t sum = uint64_t{w[i]} + d[i] + carry;
    w[i] = static_cast<uint32_t>(sum);
    carry = sum >> 32;
  }
  for (int32_t i = n; i < size && carry != 0; ++i) {
    const uint64_t sum = uint64_t{w[i]} + carry;
    w[i] = static_cast<uint32_t>(sum);
    carry = sum >> 32;
  }
}

// Knuth's estimate of a quotient digit from the window's top three limbs
// (w2 highest), refined against the divisor's top two limbs until it is the
// digit itself or one too large.
uint32_t EstimateDigit(uint32_t w2, uint32_t w1, uint32_t w0, uint32_t d_top, uint32_t d_next) {
  uint64_t qhat = w2 == d_top ? 0xFFFFFFFFu : (uint64_t{w2} << 32 | w1) / d_top;
  // Refine while qhat * (d_top:d_next) > w2:w1:w0, compared as 96-bit numbers.
  for (;;) {
    const uint64_t low = qhat * d_next;
    const uint64_t high = qhat * d_top + (low >> 32);
    const uint32_t p2 = static_cast<uint32_t>(high >> 32);
    const uint32_t p1 = static_cast<uint32_t>(high);
    const uint32_t p0 = static_cast<uint32_t>(low);
    const bool too_big = p2 != w2 ? p2 > w2 : p1 != w1 ? p1 > w1 : p0 > w0;
    if (!too_big) return static_cast<uint32_t>(qhat);
    --qhat;
  }
}

// w -= t over count limbs, then lets the borrow run through w up to limit; returns the
// borrow left over.
uint32_t SubtractLimbs(uint32_t* w, const uint32_t* t, int32_t count, int32_t limit) {
  uint32_t borrow = 0;
  for (int32_t i = 0; i < limit && (i < count || borrow != 0); ++i) {
    const uint64_t diff = uint64_t{w[i]} - (i < count ? t[i] : 0) - borrow;
    w[i] = static_cast<uint32_t>(diff);
    borrow = static_cast<uint32_t>(diff >> 63);
  }
  return borrow;
}

// Copies the working product back into number and trims it.
void TakeProduct(CBigNum& number, const std::vector<uint32_t>& work) {
  int32_t size = static_cast<int32_t>(work.size());
  while (size > 1 && work[size - 1] == 0) --size;
  AssignLimbs(number, work.data(), size);
}

int BitLength(uint32_t limb) {
  int bits = 0;
  for (; limb != 0; limb >>= 1) ++bits;
  return bits;
}

}  // namespace

CBigNum::CBigNum()
    : limbs(new uint32_t[kCapacityStep]()), length(0), capacity(kCapacityStep) {}

CBigNum::CBigNum(const CBigNum& other)
    : limbs(nullptr), length(0), capacity(RoundedCapacity(other.length)) {
  limbs = new uint32_t[capacity]();
  std::copy_n(other.limbs, other.length, limbs);
  length = other.length;
}

CBigNum& CBigNum::operator=(const CBigNum& other) {
  if (this != &other) AssignLimbs(*this, other.limbs, other.length);
  return *this;
}

CBigNum::~CBigNum() { delete[] limbs; }

void CBigNum::Reserve(int32_t count) {
  if (count <= capacity) return;
  const int32_t grown = RoundedCapacity(count);
  uint32_t* fresh = new uint32_t[grown]();
  std::copy_n(limbs, length, fresh);
  delete[] limbs;
  limbs = fresh;
  capacity = grown;
}

void CBigNum::SetLimb(uint32_t value) {
  limbs[0] = value;  // Capacity is never below one step.
  length = 1;
}

void CBigNum::Trim() {
  while (length > 1 && limbs[length - 1] == 0) --length;
}

void CBigNum::FromBigEndian(const uint8_t bytes[1024]) {
  Reserve(256);
  for (int32_t k = 0; k < 256; ++k) {
    const uint8_t* b = bytes + 1020 - 4 * k;
    limbs[k] = uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3];
  }
  length = 256;
}

void CBigNum::Multiply(const CBigNum& other) {
  if (length == 0 || other.length == 0) {
    SetLimb(0);
    return;
  }
  std::vector<uint32_t> work(static_cast<size_t>(length) + other.length);
  MultiplyLimbs(limbs, length, other.limbs, other.length, work.data());
  TakeProduct(*this, work);
}

void CBigNum::Square() {
  if (length == 0) {
    SetLimb(0);
    return;
  }
  std::vector<uint32_t> work(2 * static_cast<size_t>(length));
  SquareLimbs(limbs, length, work.data());
  TakeProduct(*this, work);
}

void CBigNum::Subtract(const CBigNum& other) {
  if (length < other.length) {
    Reserve(other.length);
    std::fill(limbs + length, limbs + other.length, 0u);
    length = other.length;
  }
  SubtractLimbs(limbs, other.limbs, other.length, length);
  Trim();
}

void CBigNum::ShiftLeft(uint32_t bits) {
  if (length == 0) return;
  const int32_t limb_shift = static_cast<int32_t>(bits / 32);
  const int bit_shift = static_cast<int>(bits % 32);
  const int32_t old_length = length;
  const int64_t needed = int64_t{old_length} + limb_shift + 1;
  if (needed > INT32_MAX) throw std::bad_alloc();
  Reserve(static_cast<int32_t>(needed));
  // From the top down, so each source limb is read before it is overwritten.
  limbs[old_length + limb_shift] = 0;
  for (int32_t i = old_length - 1; i >= 0; --i) {
    const uint32_t limb = limbs[i];
    if (bit_shift == 0) {
      limbs[i + limb_shift] = limb;
    } else {
      limbs[i + limb_shift + 1] |= limb >> (32 - bit_shift);
      limbs[i + limb_shift] = limb << bit_shift;
    }
  }
  std::fill(limbs, limbs + limb_shift, 0u);
  length = static_cast<int32_t>(needed);
  Trim();
}

void CBigNum::ShiftRight(uint32_t bits) {
  if (length == 0) return;
  if (bits / 32 >= static_cast<uint32_t>(length)) {
    SetLimb(0);
    return;
  }
  const int32_t limb_shift = static_cast<int32_t>(bits / 32);
  const int bit_shift = static_cast<int>(bits % 32);
  const int32_t new_length = length - limb_shift;
  for (int32_t i = 0; i < new_length; ++i) {
    uint32_t limb = limbs[i + limb_shift] >> bit_shift;
    if (bit_shift != 0 && i + 1 < new_length) {
      limb |= limbs[i + limb_shift + 1] << (32 - bit_shift);
    }
    limbs[i] = limb;
  }
  length = new_length;
  Trim();
}

void CBigNum::DivMod(const CBigNum& divisor, CBigNum& quotient, CBigNum& remainder) const {
  // Work on copies so that quotient or remainder may be this or the divisor.
  CBigNum q;
  q.SetLimb(0);
  CBigNum r(*this);
  CBigNum d(divisor);
  d.Trim();

  const int order = CompareLimbs(r.limbs, r.length, d.limbs, d.length);
  const bool divisor_is_zero = d.length == 0 || (d.length == 1 && d.limbs[0] == 0);
  if (divisor_is_zero || order < 0) {
    // Below the divisor the dividend is its own remainder. Division by zero has no
    // answer; it is given the same one rather than trapping.
  } else if (order == 0) {
    q.SetLimb(1);
    r.SetLimb(0);
  } else if (d.length == 1) {
    // Short division from the top limb down.
    const uint64_t d0 = d.limbs[0];
    q.Reserve(r.length);
    q.length = r.length;
    uint64_t rest = 0;
    for (int32_t j = r.length - 1; j >= 0; --j) {
      const uint64_t window = rest << 32 | r.limbs[j];
      q.limbs[j] = static_cast<uint32_t>(window / d0);
      rest = window % d0;
      r.limbs[j] = 0;
    }
    r.SetLimb(static_cast<uint32_t>(rest));
  } else {
    // Knuth, TAOCP vol. 2, 4.3.1, Algorithm D. Normalise so the divisor's top bit is set,
    // which keeps each quotient-digit estimate at most two too large.
    const uint32_t shift = (32 - BitLength(d.limbs[d.length - 1]) % 32) % 32;
    if (shift != 0) {
      r.ShiftLeft(shift);
      d.ShiftLeft(shift);
    }
    r.Trim();
    d.Trim();
    const int32_t n = d.length;
    const uint32_t d_top = d.limbs[n - 1];
    const uint32_t d_next = d.limbs[n - 2];
    // A zero limb on top makes the first window smaller than divisor * 2^32.
    if (r.limbs[r.length - 1] >= d_top || r.length == n) {
      r.Reserve(r.length + 1);
      r.limbs[r.length++] = 0;
    }
    const int32_t q_length = r.length - n;
    q.Reserve(q_length);
    std::fill(q.limbs, q.limbs + q_length, 0u);
    q.length = q_length;

    for (int32_t j = q_length - 1; j >= 0; --j) {
      uint32_t* w = r.limbs + j;
      uint32_t digit = EstimateDigit(w[n], w[n - 1], w[n - 2], d_top, d_next);
      // Subtracting digit * d at once; after the refinement the digit is at
      // most one too large, which shows as a borrow out of the window and one
      // add-back.
      if (MultiplySubtract(w, d.limbs, n, digit)) {
        AddBack(w, d.limbs, n, n + 1);
        --digit;
      }
      q.limbs[j] = digit;
    }
    if (shift != 0) r.ShiftRight(shift);
  }
  q.Trim();
  r.Trim();
  if (r.length == 0) r.SetLimb(0);  // An empty dividend.
  Exchange(quotient, q);
  Exchange(remainder, r);
}

void CBigNum::Reduce(const CBigNum& modulus) {
  CBigNum quotient;
  CBigNum remainder;
  DivMod(modulus, quotient, remainder);
  AssignLimbs(*this, remainder.limbs, remainder.length);
}

void CBigNum::ModExp(const CBigNum& base, const CBigNum& exponent, const CBigNum& modulus) {
  // The result builds up apart from this, which may also be an operand.
  CBigNum result;
  result.SetLimb(1);
  CBigNum b(base);
  CBigNum x(exponent);
  x.Trim();
  if (x.length == 0 || x.limbs[x.length - 1] == 0) {
    result.Reduce(modulus);  // x^0 = 1, which is 0 modulo 1.
  } else {
    const int32_t bits = 32 * (x.length - 1) + BitLength(x.limbs[x.length - 1]);
    for (int32_t i = 0; i < bits; ++i) {
      if (x.limbs[0] & 1) {
        result.Multiply(b);
        result.Reduce(modulus);
      }
      if (i + 1 == bits) break;  // a square after the top bit would go unused
      b.Square();
      b.Reduce(modulus);
      x.ShiftRight(1);
    }
  }
  AssignLimbs(*this, result.limbs, result.length);
}

}  // namespace vellum
