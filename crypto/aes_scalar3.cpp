#include "crypto/aes_scalar3.h"

#include <cstddef>
#include <cstring>

#include "base/little_endian.h"
#include "crypto/aes_tables.h"
#include "crypto/gf_mul_table.h"

namespace vellum {
namespace {

constexpr int kRounds = 14;
constexpr int kScheduleWords = 4 * (kRounds + 1);

// The state is FIPS 197's, byte 4 * c + r being row r of column c, held as
// four column words with row r in bits 8r to 8r + 7. Every byte still goes
// through the S-box and every mixed byte is four product-table lookups; the
// words only keep the state in registers between the steps of a round.
struct State {
  uint32_t column[4];
};

inline uint32_t LoadColumn(const uint8_t* bytes) { return LoadLe32(bytes); }
inline void StoreColumn(uint8_t* bytes, uint32_t column) { StoreLe32(bytes, column); }

inline uint8_t Row(uint32_t column, int r) { return static_cast<uint8_t>(column >> (8 * r)); }

// Round key `round` as column words: its bytes in memory order, row 0 first.
inline uint32_t RoundKeyColumn(const uint32_t* roundKeys, int round, int c) {
  return LoadColumn(reinterpret_cast<const uint8_t*>(roundKeys + 4 * round + c));
}

// SubBytes and ShiftRows together: row r of new column c is the substituted
// byte of row r in old column (c + r) mod 4. Rows 0 to 3 of one new column.
inline void SubstitutedColumn(const State& state, int c, uint8_t s[4]) {
#pragma GCC unroll 4
  for (int r = 0; r < 4; ++r) s[r] = kFips197SBox[Row(state.column[(c + r) % 4], r)];
}

inline uint8_t Product(uint8_t value, uint8_t coefficient) {
  // The same entry as GfMulTable[value * 256 + coefficient]; written this way
  // the constant coefficient becomes part of the address.
  return (GfMulTable + coefficient)[size_t{value} << 8];
}

// One of rounds 1 to 13: SubBytes, ShiftRows, MixColumns, AddRoundKey.
inline State FullRound(const State& state, const uint32_t* roundKeys, int round) {
  State next;
#pragma GCC unroll 4
  for (int c = 0; c < 4; ++c) {
    uint8_t s[4];
    SubstitutedColumn(state, c, s);
    uint32_t mixed = 0;
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i) {
      const uint8_t* m = kFips197MixColumns[i];
      const uint8_t sum = Product(s[0], m[0]) ^ Product(s[1], m[1]) ^ Product(s[2], m[2]) ^
                          Product(s[3], m[3]);
      mixed |= uint32_t{sum} << (8 * i);
    }
    next.column[c] = mixed ^ RoundKeyColumn(roundKeys, round, c);
  }
  return next;
}

// Round 14: SubBytes, ShiftRows and AddRoundKey, no column mixing.
inline State LastRound(const State& state, const uint32_t* roundKeys, int round) {
  State next;
#pragma GCC unroll 4
  for (int c = 0; c < 4; ++c) {
    uint8_t s[4];
    SubstitutedColumn(state, c, s);
    next.column[c] = LoadColumn(s) ^ RoundKeyColumn(roundKeys, round, c);
  }
  return next;
}

inline void EncryptOne(const uint32_t* roundKeys, const uint8_t in[16], uint8_t out[16]) {
  State state;
#pragma GCC unroll 4
  for (int c = 0; c < 4; ++c) state.column[c] = LoadColumn(in + 4 * c) ^ RoundKeyColumn(roundKeys, 0, c);
  for (int round = 1; round < kRounds; ++round) state = FullRound(state, roundKeys, round);
  state = LastRound(state, roundKeys, kRounds);
  // The whole input was read before this point, so in and out may overlap.
#pragma GCC unroll 4
  for (int c = 0; c < 4; ++c) StoreColumn(out + 4 * c, state.column[c]);
}

}  // namespace

AES_SCALAR3::AES_SCALAR3(const uint8_t key[32]) {
  // Worked bytewise: the words hold their bytes in memory order.
  uint8_t* w = reinterpret_cast<uint8_t*>(roundKeys);
  std::memcpy(w, key, 32);
  for (int i = 8; i < kScheduleWords; ++i) {
    uint8_t t[4];
    std::memcpy(t, w + 4 * (i - 1), 4);
    if (i % 8 == 0) {
      // SubWord(RotWord(t)) XOR Rcon[i / 8].
      const uint8_t first = t[0];
      t[0] = kFips197SBox[t[1]] ^ kFips197Rcon[i / 8 - 1];
      t[1] = kFips197SBox[t[2]];
      t[2] = kFips197SBox[t[3]];
      t[3] = kFips197SBox[first];
    } else if (i % 8 == 4) {
      for (uint8_t& b : t) b = kFips197SBox[b];
    }
    for (int k = 0; k < 4; ++k) w[4 * i + k] = w[4 * (i - 8) + k] ^ t[k];
  }
}

void AES_SCALAR3::EncryptBlock(const uint8_t in[16], uint8_t out[16]) const {
  EncryptOne(roundKeys, in, out);
}

void AES_SCALAR3::XorCounterBlocks(const uint8_t first[16], int32_t count,
                                   uint8_t* data) const {
  // One block at a time: the table lookups gain nothing from interleaving.
  uint8_t block[16], keystream[16];
  std::memcpy(block, first, 16);
  uint64_t counter = LoadLe64(block);
  for (; count > 0; --count, data += 16) {
    StoreLe64(block, counter);
    EncryptOne(roundKeys, block, keystream);
    for (int i = 0; i < 16; ++i) data[i] ^= keystream[i];
    ++counter;  // wraps modulo 2^64; bytes 8-15 stay as they were
  }
}

}  // namespace vellum
