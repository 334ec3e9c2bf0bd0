#include "e2e.h"

#include <algorithm>

namespace e2e {
namespace {

DWORD processStartMs = 0;

DWORD FloorPlus(DWORD floorMs, DWORD startsAllowed) {
  const unsigned long long ms = floorMs + static_cast<unsigned long long>(startsAllowed) * processStartMs;
  return static_cast<DWORD>(std::min<unsigned long long>(ms, 6ull * 3600 * 1000));
}

}  // namespace

void SetBoundsFromProcessStart(DWORD ms) { processStartMs = ms; }
DWORD ProcessStartMs() { return processStartMs; }

// A viewer's start is one process start plus the load (an RSA operation, a
// pass over the package, extraction), a few starts' worth where Wine runs
// emulated; the bounds leave room for several times that.
DWORD StartBoundMs() { return FloorPlus(120000, 10); }
DWORD StepBoundMs() { return FloorPlus(60000, 3); }
DWORD SettleMs() { return 5000 + processStartMs / 4; }

}  // namespace e2e
