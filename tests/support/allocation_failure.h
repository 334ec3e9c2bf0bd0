#pragma once
#include <cstdint>

// The test program's global allocation operators count every allocation and
// can make one chosen allocation fail, to test what out of memory leaves.
namespace vellum::testing {

// The n-th allocation from now (counted from 1) throws std::bad_alloc, once;
// 0 disarms.
void FailAllocation(uint64_t n);
// True once the armed allocation has failed (until the next FailAllocation).
bool AllocationFailed();
// Blocks allocated through the operators and not yet freed.
int64_t LiveAllocations();
// The largest single allocation since the last reset, in bytes.
uint64_t LargestAllocation();
void ResetLargestAllocation();

}  // namespace vellum::testing
