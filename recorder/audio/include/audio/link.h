// Providers and consumers of typed blocks, and the link between them.
//
// One provider feeds at most one consumer. Blocks travel by push (the
// producer calls its consumer's on_data under the consumer's link lock) or by
// pull (the consumer asks its provider's get_data). A push takes link locks
// from upstream to downstream, a pull from downstream to upstream; a chain is
// driven one way only, so the two orders never meet.
#pragma once

#include <cstdint>

#include "audio/blocks.h"
#include "liba/thread.h"

namespace audio {

template <typename T>
class Provider;

template <typename T>
class Consumer {
 public:
  Consumer() = default;
  Consumer(const Consumer&) = delete;
  Consumer& operator=(const Consumer&) = delete;
  virtual ~Consumer() {
    // A delivery still running on another thread ends before the lock goes.
    lock.enter();
    lock.leave();
  }

  virtual void on_data(const T& /*block*/) {}

  // Asks the linked provider for `count` units; the empty block when unlinked.
  T& pull(T& out, std::uint32_t count);

  Provider<T>* provider = nullptr;
  liba::CriticalSection lock;
};

template <typename T>
class Provider {
 public:
  Provider() = default;
  Provider(const Provider&) = delete;
  Provider& operator=(const Provider&) = delete;
  virtual ~Provider() = default;

  virtual T& get_data(T& out, std::uint32_t count) = 0;

  // Hands a block to the linked consumer under its lock; dropped when unlinked.
  void push(const T& block) {
    Consumer<T>* target = consumer;
    if (target == nullptr) return;
    liba::Lock hold(target->lock);
    if (consumer == target) target->on_data(block);
  }

  Consumer<T>* consumer = nullptr;
};

template <typename T>
T& Consumer<T>::pull(T& out, std::uint32_t count) {
  if (provider != nullptr) return provider->get_data(out, count);
  out = T();
  return out;
}

// Links `provider` to `consumer` (null unlinks the provider), taking one
// consumer lock at a time.
template <typename T>
void connect(Provider<T>* provider, Consumer<T>* consumer) {
  if (provider == nullptr) return;
  if (Consumer<T>* old = provider->consumer) {
    liba::Lock hold(old->lock);
    old->provider = nullptr;
    provider->consumer = nullptr;
  }
  if (consumer != nullptr) {
    liba::Lock hold(consumer->lock);
    consumer->provider = provider;
    provider->consumer = consumer;
  }
}

// A stage that transforms blocks in both directions: pushed blocks are
// processed and pushed on; pulled blocks are pulled from upstream and
// processed, both under the stage's own link lock.
template <typename In, typename Out>
class Processor : public Consumer<In>, public Provider<Out> {
 public:
  void on_data(const In& in) override {
    liba::Lock hold(this->lock);
    Out tmp;
    process(tmp, in);
    this->push(tmp);
  }

  Out& get_data(Out& out, std::uint32_t count) override {
    liba::Lock hold(this->lock);
    In tmp;
    this->pull(tmp, count);
    process(out, tmp);
    return out;
  }

 protected:
  virtual void process(Out& out, const In& in) = 0;
};

}  // namespace audio
