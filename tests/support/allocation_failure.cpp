// Replaces every form of the global operators new and delete, so that all
// of them agree on the allocator underneath (the sanitizers check pairing).
#include "tests/support/allocation_failure.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace vellum::testing {
namespace {

std::atomic<uint64_t> countdown{0};
std::atomic<bool> failed{false};
std::atomic<int64_t> live{0};
std::atomic<uint64_t> largest{0};

void* Allocate(std::size_t size, std::size_t alignment) {
  if (countdown.load(std::memory_order_relaxed) != 0 && countdown.fetch_sub(1) == 1) {
    failed = true;
    throw std::bad_alloc();
  }
  if (size == 0) size = 1;
  for (uint64_t seen = largest; size > seen && !largest.compare_exchange_weak(seen, size);) {
  }
  void* block = nullptr;
#ifdef _WIN32
  block = _aligned_malloc(size, alignment);
#else
  if (posix_memalign(&block, alignment < sizeof(void*) ? sizeof(void*) : alignment, size) != 0) block = nullptr;
#endif
  if (!block) throw std::bad_alloc();
  ++live;
  return block;
}

void Free(void* block) noexcept {
  if (!block) return;
  --live;
#ifdef _WIN32
  _aligned_free(block);
#else
  std::free(block);
#endif
}

void* AllocateNoThrow(std::size_t size, std::size_t alignment) noexcept {
  try {
    return Allocate(size, alignment);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

constexpr std::size_t kDefault = __STDCPP_DEFAULT_NEW_ALIGNMENT__;

}  // namespace

void FailAllocation(uint64_t n) {
  failed = false;
  countdown = n;
}
bool AllocationFailed() { return failed; }
int64_t LiveAllocations() { return live; }
uint64_t LargestAllocation() { return largest; }
void ResetLargestAllocation() { largest = 0; }

}  // namespace vellum::testing

using vellum::testing::Allocate;
using vellum::testing::AllocateNoThrow;
using vellum::testing::Free;
using vellum::testing::kDefault;
using Alignment = std::align_val_t;

void* operator new(std::size_t size) { return Allocate(size, kDefault); }
void* operator new[](std::size_t size) { return Allocate(size, kDefault); }
void* operator new(std::size_t size, Alignment a) { return Allocate(size, static_cast<std::size_t>(a)); }
void* operator new[](std::size_t size, Alignment a) { return Allocate(size, static_cast<std::size_t>(a)); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return AllocateNoThrow(size, kDefault); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return AllocateNoThrow(size, kDefault); }
void* operator new(std::size_t size, Alignment a, const std::nothrow_t&) noexcept {
  return AllocateNoThrow(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, Alignment a, const std::nothrow_t&) noexcept {
  return AllocateNoThrow(size, static_cast<std::size_t>(a));
}

void operator delete(void* p) noexcept { Free(p); }
void operator delete[](void* p) noexcept { Free(p); }
void operator delete(void* p, std::size_t) noexcept { Free(p); }
void operator delete[](void* p, std::size_t) noexcept { Free(p); }
void operator delete(void* p, Alignment) noexcept { Free(p); }
void operator delete[](void* p, Alignment) noexcept { Free(p); }
void operator delete(void* p, std::size_t, Alignment) noexcept { Free(p); }
void operator delete[](void* p, std::size_t, Alignment) noexcept { Free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Free(p); }
void operator delete(void* p, Alignment, const std::nothrow_t&) noexcept { Free(p); }
void operator delete[](void* p, Alignment, const std::nothrow_t&) noexcept { Free(p); }
