#pragma once
#include <cstdint>

namespace vellum {

// Products in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1, indexed by a * 256 + b.
// Filled once at start-up, and only when the processor lacks AES-NI; only the
// portable AES reads it.
extern uint8_t GfMulTable[65536];

void BuildGfMulTable();

}  // namespace vellum
