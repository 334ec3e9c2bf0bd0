#pragma once
#include <utility>

#include "platform/win32_api.h"

namespace vellum {

// Owners of what the Windows APIs hand out, each released exactly once.

// A COM reference, released when the owner goes.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() {
    if (p_) p_->Release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For the out parameter of the call that hands out the reference.
  T** Receive() { return &p_; }
  void** ReceiveVoid() { return reinterpret_cast<void**>(&p_); }

 private:
  T* p_ = nullptr;
};

// A task-memory allocation (item identifier list, text), freed with CoTaskMemFree.
template <typename T>
class CoTaskMemPtr {
 public:
  CoTaskMemPtr() = default;
  CoTaskMemPtr(const CoTaskMemPtr&) = delete;
  CoTaskMemPtr& operator=(const CoTaskMemPtr&) = delete;
  ~CoTaskMemPtr() { CoTaskMemFree(p_); }
  T* get() const { return p_; }
  T** Receive() { return &p_; }

 private:
  T* p_ = nullptr;
};

// A kernel handle or a search handle: INVALID_HANDLE_VALUE means none.
template <typename Closer>
class UniqueHandle {
 public:
  explicit UniqueHandle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
  UniqueHandle(UniqueHandle&& other) noexcept : h_(std::exchange(other.h_, INVALID_HANDLE_VALUE)) {}
  UniqueHandle& operator=(UniqueHandle&&) = delete;
  ~UniqueHandle() {
    if (valid()) Closer{}(h_);
  }
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE h_;
};

struct CloseKernelHandle {
  void operator()(HANDLE h) const { CloseHandle(h); }
};
struct CloseSearchHandle {
  void operator()(HANDLE h) const { FindClose(h); }
};
using FileHandle = UniqueHandle<CloseKernelHandle>;
using FindHandle = UniqueHandle<CloseSearchHandle>;

}  // namespace vellum
