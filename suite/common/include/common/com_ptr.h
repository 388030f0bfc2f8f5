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
  ComPtr(const ComPtr& other) : m_p(other.m_p) {
    if (m_p != nullptr) m_p->AddRef();
  }
  ComPtr& operator=(const ComPtr& other) {
    Assign(other.m_p);
    return *this;
  }
  ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      m_p = std::exchange(other.m_p, nullptr);
    }
    return *this;
  }

  T* Get() const { return m_p; }
  T* operator->() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }
  // For calls that hand out a new reference: releases what is held first.
  T** Put() {
    Reset();
    return &m_p;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  // Holds p with a reference of its own.
  void Assign(T* p) {
    if (p != nullptr) p->AddRef();
    T* old = std::exchange(m_p, p);
    if (old != nullptr) old->Release();
  }
  // Takes over a pointer whose reference the caller owned.
  void Attach(T* p) {
    Reset();
    m_p = p;
  }
  // Gives up the pointer without releasing it.
  T* Detach() { return std::exchange(m_p, nullptr); }
  void Reset() {
    if (m_p != nullptr) std::exchange(m_p, nullptr)->Release();
  }

 private:
  T* m_p = nullptr;
};

}  // namespace suite
