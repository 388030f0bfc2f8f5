// A small holder of one interface pointer: assigning adds a reference to the
// new pointer and releases the old one; the holder releases what it holds.
#pragma once

#include <utility>

#include "ce/objbase.h"

namespace suite {

template <typename T>
class ComHolder {
 public:
  ComHolder() = default;
  ~ComHolder() { Reset(); }
  ComHolder(const ComHolder& other) : m_p(other.m_p) {
    if (m_p != nullptr) m_p->AddRef();
  }
  ComHolder& operator=(const ComHolder& other) {
    Assign(other.m_p);
    return *this;
  }
  ComHolder& operator=(T* p) {
    Assign(p);
    return *this;
  }

  T* Get() const { return m_p; }
  T* operator->() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }
  // For an out parameter: releases what is held first.
  T** Out() {
    Reset();
    return &m_p;
  }
  void** OutVoid() { return reinterpret_cast<void**>(Out()); }
  // Takes over a pointer whose reference the caller owned.
  void Attach(T* p) {
    Reset();
    m_p = p;
  }
  void Reset() {
    if (m_p != nullptr) std::exchange(m_p, nullptr)->Release();
  }

 private:
  void Assign(T* p) {
    if (p != nullptr) p->AddRef();
    T* old = std::exchange(m_p, p);
    if (old != nullptr) old->Release();
  }

  T* m_p = nullptr;
};

}  // namespace suite
