#include "crypto/sha256x.h"

#include <bit>
#include <cstring>

#include "crypto/sha256_constants.h"

namespace vellum {
namespace {

// The functions of FIPS 180-4 4.1.2.
inline uint32_t Ch(uint32_t x, uint32_t y, uint32_t z) { return (x & y) ^ (~x & z); }
inline uint32_t Maj(uint32_t x, uint32_t y, uint32_t z) { return (x & y) ^ (x & z) ^ (y & z); }
inline uint32_t BigSigma0(uint32_t x) {
  return std::rotr(x, 2) ^ std::rotr(x, 13) ^ std::rotr(x, 22);
}
inline uint32_t BigSigma1(uint32_t x) {
  return std::rotr(x, 6) ^ std::rotr(x, 11) ^ std::rotr(x, 25);
}
inline uint32_t SmallSigma0(uint32_t x) { return std::rotr(x, 7) ^ std::rotr(x, 18) ^ (x >> 3); }
inline uint32_t SmallSigma1(uint32_t x) { return std::rotr(x, 17) ^ std::rotr(x, 19) ^ (x >> 10); }

}  // namespace

SHA256x::SHA256x() { std::memcpy(hashState, kSha256InitialHash, sizeof hashState); }

void SHA256x::Update(const uint8_t* data, uint32_t length) {
  const uint32_t room = 64 - blockFill;
  const uint32_t head = length < room ? length : room;
  // data may be null when length is 0; memcpy must not see it then.
  if (head != 0) std::memcpy(blockBuffer + blockFill, data, head);
  if (length < room) {
    blockFill += length;
    return;
  }
  Compress(blockBuffer, 1);
  data += head;
  length -= head;
  const uint32_t tail = length % 64;
  Compress(data, static_cast<int32_t>(length / 64));
  if (tail != 0) std::memcpy(blockBuffer, data + (length - tail), tail);
  messageLength += 64 + (length - tail);
  blockFill = tail;
}

void SHA256x::Final(uint8_t digest[32]) {
  const uint32_t blocks = blockFill > 55 ? 2 : 1;
  const uint32_t padEnd = blocks * 64;
  std::memset(blockBuffer + blockFill, 0, padEnd - blockFill);
  blockBuffer[blockFill] = 0x80;
  StoreBigEndian64(blockBuffer + padEnd - 8, (messageLength + blockFill) * 8);
  Compress(blockBuffer, static_cast<int32_t>(blocks));
  StoreSha256Digest(digest, hashState);
}

namespace {

// One step of FIPS 180-4 6.2.2. Rather than moving every working variable
// along, the caller rotates the roles of the eight variables from step to step.
inline void Step(uint32_t a, uint32_t b, uint32_t c, uint32_t& d, uint32_t e, uint32_t f,
                 uint32_t g, uint32_t& h, uint32_t kw) {
  const uint32_t t1 = h + BigSigma1(e) + Ch(e, f, g) + kw;
  d += t1;
  h = t1 + BigSigma0(a) + Maj(a, b, c);
}

}  // namespace

void SHA256x::Compress(const uint8_t* data, int32_t blocks) {
  for (; blocks > 0; --blocks, data += 64) {
    uint32_t w[64];
    for (int t = 0; t < 16; ++t) w[t] = LoadBigEndian32(data + 4 * t);
    for (int t = 16; t < 64; ++t) {
      w[t] = SmallSigma1(w[t - 2]) + w[t - 7] + SmallSigma0(w[t - 15]) + w[t - 16];
    }
    uint32_t a = hashState[0], b = hashState[1], c = hashState[2], d = hashState[3];
    uint32_t e = hashState[4], f = hashState[5], g = hashState[6], h = hashState[7];
    const uint32_t* k = kSha256RoundConstants;
    // Eight steps bring the roles back to where they started.
    for (int t = 0; t < 64; t += 8) {
      Step(a, b, c, d, e, f, g, h, k[t] + w[t]);
      Step(h, a, b, c, d, e, f, g, k[t + 1] + w[t + 1]);
      Step(g, h, a, b, c, d, e, f, k[t + 2] + w[t + 2]);
      Step(f, g, h, a, b, c, d, e, k[t + 3] + w[t + 3]);
      Step(e, f, g, h, a, b, c, d, k[t + 4] + w[t + 4]);
      Step(d, e, f, g, h, a, b, c, k[t + 5] + w[t + 5]);
      Step(c, d, e, f, g, h, a, b, k[t + 6] + w[t + 6]);
      Step(b, c, d, e, f, g, h, a, k[t + 7] + w[t + 7]);
    }
    hashState[0] += a;
    hashState[1] += b;
    hashState[2] += c;
    hashState[3] += d;
    hashState[4] += e;
    hashState[5] += f;
    hashState[6] += g;
    hashState[7] += h;
  }
}

}  // namespace vellum
