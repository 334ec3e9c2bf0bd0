#pragma once
#include <cstddef>
#include <memory>
#include <new>

namespace vellum {

// Owns a heap block aligned for 16-byte SSE memory operands. Allocation failure
// raises std::bad_alloc like every other allocation.
struct AlignedFree {
  void operator()(void* p) const { ::operator delete(p, std::align_val_t{16}); }
};
template <typename T>
using AlignedBlock = std::unique_ptr<T, AlignedFree>;

template <typename T>
AlignedBlock<T> AllocateAligned(std::size_t bytes) {
  return AlignedBlock<T>(static_cast<T*>(::operator new(bytes, std::align_val_t{16})));
}

}  // namespace vellum
