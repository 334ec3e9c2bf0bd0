#include "crypto/aes256_ni.h"

#include <immintrin.h>

namespace vellum {
namespace {

#define VELLUM_AES_TARGET __attribute__((target("aes,sse4.1")))

// The round key two places back with every word XORed with all words below it,
// then XORed with the chosen key-generation-assist word in every position.
VELLUM_AES_TARGET inline __m128i MixKeyWord(__m128i twoBack, __m128i assistWord) {
  twoBack = _mm_xor_si128(twoBack, _mm_slli_si128(twoBack, 4));
  twoBack = _mm_xor_si128(twoBack, _mm_slli_si128(twoBack, 8));
  return _mm_xor_si128(twoBack, assistWord);
}

// Even round keys: RotWord(SubWord(last word)) XOR rcon, broadcast from word 3.
template <int kRcon>
VELLUM_AES_TARGET inline __m128i EvenRoundKey(__m128i twoBack, __m128i previous) {
  return MixKeyWord(twoBack, _mm_shuffle_epi32(_mm_aeskeygenassist_si128(previous, kRcon), 0xFF));
}

// Odd round keys: SubWord(last word) without rotation, broadcast from word 2.
VELLUM_AES_TARGET inline __m128i OddRoundKey(__m128i twoBack, __m128i previous) {
  return MixKeyWord(twoBack, _mm_shuffle_epi32(_mm_aeskeygenassist_si128(previous, 0), 0xAA));
}

VELLUM_AES_TARGET void ExpandKeyNi(const uint8_t key[32], uint8_t* roundKeys) {
  __m128i* rk = reinterpret_cast<__m128i*>(roundKeys);
  rk[0] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(key));
  rk[1] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(key + 16));
  rk[2] = EvenRoundKey<0x01>(rk[0], rk[1]);
  rk[3] = OddRoundKey(rk[1], rk[2]);
  rk[4] = EvenRoundKey<0x02>(rk[2], rk[3]);
  rk[5] = OddRoundKey(rk[3], rk[4]);
  rk[6] = EvenRoundKey<0x04>(rk[4], rk[5]);
  rk[7] = OddRoundKey(rk[5], rk[6]);
  rk[8] = EvenRoundKey<0x08>(rk[6], rk[7]);
  rk[9] = OddRoundKey(rk[7], rk[8]);
  rk[10] = EvenRoundKey<0x10>(rk[8], rk[9]);
  rk[11] = OddRoundKey(rk[9], rk[10]);
  rk[12] = EvenRoundKey<0x20>(rk[10], rk[11]);
  rk[13] = OddRoundKey(rk[11], rk[12]);
  rk[14] = EvenRoundKey<0x40>(rk[12], rk[13]);
}

VELLUM_AES_TARGET void EncryptBlockNi(const uint8_t* roundKeys, const uint8_t in[16],
                                      uint8_t out[16]) {
  const __m128i* rk = reinterpret_cast<const __m128i*>(roundKeys);
  __m128i block = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)), rk[0]);
  for (int round = 1; round < 14; ++round) block = _mm_aesenc_si128(block, rk[round]);
  block = _mm_aesenclast_si128(block, rk[14]);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), block);
}

// Several blocks in flight: an AES round has a latency of several cycles but
// the processor can start one or two every cycle, so a single block leaves
// the unit mostly idle. Twelve keep it busy even across the gaps where the
// caller uses the keystream. A 32-bit build has only eight XMM registers;
// with more than six blocks the compiler spills blocks between rounds, which
// lengthens their chains far more than the extra blocks gain.
#if defined(__x86_64__)
constexpr int32_t kInterleave = 12;
#else
constexpr int32_t kInterleave = 6;
#endif

VELLUM_AES_TARGET void XorCounterBlocksNi(const uint8_t* roundKeys, const uint8_t first[16],
                                          int32_t count, uint8_t* data) {
  const __m128i* rk = reinterpret_cast<const __m128i*>(roundKeys);
  // The counter is the low 64-bit lane: a lane addition wraps it modulo 2^64
  // and leaves the upper eight bytes alone.
  __m128i counter = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first));
  const __m128i one = _mm_set_epi64x(0, 1);
  for (; count >= kInterleave; count -= kInterleave, data += 16 * kInterleave) {
    __m128i blocks[kInterleave];
#pragma GCC unroll 16
    for (int k = 0; k < kInterleave; ++k) {
      blocks[k] = _mm_xor_si128(counter, rk[0]);
      counter = _mm_add_epi64(counter, one);
    }
#pragma GCC unroll 13
    for (int round = 1; round < 14; ++round) {
#pragma GCC unroll 16
      for (int k = 0; k < kInterleave; ++k) blocks[k] = _mm_aesenc_si128(blocks[k], rk[round]);
    }
    // The last round ends by XORing its key in; XORing the data into that
    // key applies the keystream at no extra cost.
#pragma GCC unroll 16
    for (int k = 0; k < kInterleave; ++k) {
      __m128i* target = reinterpret_cast<__m128i*>(data + 16 * k);
      _mm_storeu_si128(target, _mm_aesenclast_si128(blocks[k], _mm_xor_si128(rk[14], _mm_loadu_si128(target))));
    }
  }
  for (; count > 0; --count, data += 16) {
    __m128i block = _mm_xor_si128(counter, rk[0]);
    counter = _mm_add_epi64(counter, one);
    for (int round = 1; round < 14; ++round) block = _mm_aesenc_si128(block, rk[round]);
    __m128i* target = reinterpret_cast<__m128i*>(data);
    _mm_storeu_si128(target, _mm_aesenclast_si128(block, _mm_xor_si128(rk[14], _mm_loadu_si128(target))));
  }
}

#undef VELLUM_AES_TARGET

}  // namespace

void AES256_NI::ExpandKey(const uint8_t key[32]) { ExpandKeyNi(key, roundKeys.get()); }

void AES256_NI::EncryptBlock(const uint8_t in[16], uint8_t out[16]) const {
  EncryptBlockNi(roundKeys.get(), in, out);
}

void AES256_NI::XorCounterBlocks(const uint8_t first[16], int32_t count, uint8_t* data) const {
  XorCounterBlocksNi(roundKeys.get(), first, count, data);
}

}  // namespace vellum
