#include "crypto/aes_scalar3.h"

#include <cstring>

#include "crypto/aes_tables.h"
#include "crypto/gf_mul_table.h"

namespace vellum {
namespace {

constexpr int kRounds = 14;
constexpr int kScheduleWords = 4 * (kRounds + 1);

// The state is FIPS 197's: byte 4 * c + r is row r of column c.
using State = uint8_t[16];

void AddRoundKey(State state, const uint32_t* roundKey) {
  for (int c = 0; c < 4; ++c) {
    uint32_t column;
    std::memcpy(&column, state + 4 * c, 4);
    column ^= roundKey[c];
    std::memcpy(state + 4 * c, &column, 4);
  }
}

// SubBytes and ShiftRows together: row r of new column c is the substituted
// byte of row r in old column (c + r) mod 4.
void SubBytesShiftRows(State state) {
  State old;
  std::memcpy(old, state, 16);
  for (int c = 0; c < 4; ++c) {
    for (int r = 0; r < 4; ++r) state[4 * c + r] = kFips197SBox[old[4 * ((c + r) % 4) + r]];
  }
}

void MixColumns(State state) {
  for (int c = 0; c < 4; ++c) {
    uint8_t* column = state + 4 * c;
    uint8_t mixed[4];
    for (int i = 0; i < 4; ++i) {
      uint8_t sum = 0;
      for (int j = 0; j < 4; ++j) sum ^= GfMulTable[column[j] * 256 + kFips197MixColumns[i][j]];
      mixed[i] = sum;
    }
    std::memcpy(column, mixed, 4);
  }
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
  // A local copy of the state lets in and out overlap.
  State state;
  std::memcpy(state, in, 16);
  AddRoundKey(state, roundKeys);
  for (int round = 1; round < kRounds; ++round) {
    SubBytesShiftRows(state);
    MixColumns(state);
    AddRoundKey(state, roundKeys + 4 * round);
  }
  SubBytesShiftRows(state);
  AddRoundKey(state, roundKeys + 4 * kRounds);
  std::memcpy(out, state, 16);
}

}  // namespace vellum
