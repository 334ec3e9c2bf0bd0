#include "crypto/sha256h.h"

#include <immintrin.h>

#include <cstring>

#include "crypto/sha256_constants.h"

namespace vellum {
namespace {

// Hash word Hi within the two state blocks.
uint32_t& HashWord(const SHA256H& hasher, int i) {
  // Word slots: 0-3 in stateAbef, 4-7 in stateCdgh, counted from the lowest address.
  constexpr int kSlot[8] = {3, 2, 7, 6, 1, 0, 5, 4};
  uint32_t* state = kSlot[i] < 4 ? hasher.stateAbef.get() : hasher.stateCdgh.get();
  return state[kSlot[i] % 4];
}

// Compresses `blocks` consecutive 64-byte blocks (at least one). The state
// stays in registers from the first block to the last.
__attribute__((target("sha,sse4.1")))
void CompressWithShaExtensions(uint32_t* abefState, uint32_t* cdghState, const uint8_t* data,
                               uint32_t blocks) {
  // Reverses the bytes of each 32-bit word: message words are big-endian.
  const __m128i wordByteSwap =
      _mm_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12);
  const auto abefPtr = reinterpret_cast<__m128i*>(abefState);
  const auto cdghPtr = reinterpret_cast<__m128i*>(cdghState);
  const auto roundConstants = reinterpret_cast<const __m128i*>(kSha256RoundConstants);

  __m128i abef = _mm_load_si128(abefPtr);
  __m128i cdgh = _mm_load_si128(cdghPtr);
  for (; blocks != 0; --blocks, data += 64) {
    const __m128i abefBefore = abef, cdghBefore = cdgh;
    // schedule[q % 4] holds message words 4q..4q+3 while rounds 4q..4q+3 run.
    __m128i schedule[4];
    for (int q = 0; q < 4; ++q) {
      const auto quarter = reinterpret_cast<const __m128i*>(data + 16 * q);
      schedule[q] = _mm_shuffle_epi8(_mm_loadu_si128(quarter), wordByteSwap);
    }
#pragma GCC unroll 16
    for (int q = 0; q < 16; ++q) {
      __m128i& words = schedule[q % 4];
      if (q >= 4) {
        // W[t] = s1(W[t-2]) + W[t-7] + s0(W[t-15]) + W[t-16] for four t at once.
        const __m128i& newest = schedule[(q + 3) % 4];
        words = _mm_sha256msg1_epu32(words, schedule[(q + 1) % 4]);
        words = _mm_add_epi32(words, _mm_alignr_epi8(newest, schedule[(q + 2) % 4], 4));
        words = _mm_sha256msg2_epu32(words, newest);
      }
      const __m128i wk = _mm_add_epi32(words, _mm_load_si128(roundConstants + q));
      // Each SHA256RNDS2 runs two rounds on the low half of wk and returns the
      // new ABEF; the old ABEF has become the new CDGH.
      cdgh = _mm_sha256rnds2_epu32(cdgh, abef, wk);
      abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(wk, 0x0e));
    }
    abef = _mm_add_epi32(abef, abefBefore);
    cdgh = _mm_add_epi32(cdgh, cdghBefore);
  }
  _mm_store_si128(abefPtr, abef);
  _mm_store_si128(cdghPtr, cdgh);
}

}  // namespace

SHA256H::SHA256H()
    : stateAbef(AllocateAligned<uint32_t>(16)), stateCdgh(AllocateAligned<uint32_t>(16)) {
  for (int i = 0; i < 8; ++i) HashWord(*this, i) = kSha256InitialHash[i];
}

void SHA256H::Update(const uint8_t* data, uint32_t length) {
  messageLength += length;
  if (blockFill != 0) {
    const uint32_t room = 64 - blockFill;
    if (length < room) {
      // data may be null when length is 0; memcpy must not see it then.
      if (length != 0) std::memcpy(blockBuffer + blockFill, data, length);
      blockFill += length;
      return;
    }
    std::memcpy(blockBuffer + blockFill, data, room);
    data += room;
    length -= room;
    Compress(blockBuffer, 1);
    blockFill = 0;
  }
  // All whole blocks in one call, straight from the caller's memory.
  Compress(data, length / 64);
  data += length - length % 64;
  length %= 64;
  if (length != 0) {
    std::memcpy(blockBuffer, data, length);
    blockFill = length;
  }
}

void SHA256H::Final(uint8_t digest[32]) {
  blockBuffer[blockFill++] = 0x80;
  if (blockFill + 8 > 64) {
    std::memset(blockBuffer + blockFill, 0, 64 - blockFill);
    Compress(blockBuffer, 1);
    blockFill = 0;
  }
  std::memset(blockBuffer + blockFill, 0, 56 - blockFill);
  StoreBigEndian64(blockBuffer + 56, messageLength * 8);
  Compress(blockBuffer, 1);

  uint32_t hash[8];
  for (int i = 0; i < 8; ++i) hash[i] = HashWord(*this, i);
  StoreSha256Digest(digest, hash);
}

void SHA256H::Compress(const uint8_t* data, uint32_t blocks) {
  if (blocks != 0) CompressWithShaExtensions(stateAbef.get(), stateCdgh.get(), data, blocks);
}

}  // namespace vellum
