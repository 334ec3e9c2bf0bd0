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

#undef VELLUM_AES_TARGET

}  // namespace

void AES256_NI::ExpandKey(const uint8_t key[32]) { ExpandKeyNi(key, roundKeys.get()); }

void AES256_NI::EncryptBlock(const uint8_t in[16], uint8_t out[16]) const {
  EncryptBlockNi(roundKeys.get(), in, out);
}

}  // namespace vellum
