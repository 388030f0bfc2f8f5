// The suite's owner of one interface pointer: a copy adds a reference,
// replacing or destroying releases the one held.
#pragma once

#include <utility>

#include "ce/objbase.h"

namespace suite {

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr& other) : p_(other.p_) {
    if (p_ != nullptr) p_->AddRef();
  }
  ComPtr& operator=(const ComPtr& other) {
    Assign(other.p_);
    return *this;
  }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For calls that hand out a new reference: releases what is held first.
  T** Put() {
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  // Holds p with a reference of its own.
  void Assign(T* p) {
    if (p != nullptr) p->AddRef();
    T* old = std::exchange(p_, p);
    if (old != nullptr) old->Release();
  }
  // Takes over a pointer whose reference the caller owned.
  void Attach(T* p) {
    Reset();
    p_ = p;
  }
  // Gives up the pointer without releasing it.
  T* Detach() { return std::exchange(p_, nullptr); }
  void Reset() {
    if (p_ != nullptr) std::exchange(p_, nullptr)->Release();
  }

 private:
  T* p_ = nullptr;
};

}  // namespace suite
