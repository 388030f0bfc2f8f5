#include "backend/input.h"

#include <atomic>
#include <deque>
#include <mutex>

#include "backend/backend.h"
#include "backend/headless/headless_input.h"
#include "backend/sdl/sdl_backend.h"

namespace ce::backend {
namespace {

struct Cache {
  std::mutex lock;
  std::shared_ptr<InputSource> source;
};

std::atomic<void (*)()> g_arrivalHandler{nullptr};

Cache& TheCache() {
  static auto* cache = new Cache;  // never destroyed, like the screen
  return *cache;
}

}  // namespace

std::shared_ptr<InputSource> InputSource::Current() {
  Cache& cache = TheCache();
  std::lock_guard guard(cache.lock);
  if (!cache.source) {
    if (ChosenBackend() == BackendKind::Sdl) cache.source = sdl::CreateInput();
    if (!cache.source) cache.source = std::make_shared<HeadlessInput>();
  }
  return cache.source;
}

void InputSource::Inject(const InputEvent& event) {
  Queue(event);
  if (const auto handler = g_arrivalHandler.load()) handler();
}

void SetInputArrivalHandler(void (*handler)()) { g_arrivalHandler.store(handler); }

namespace {

struct BoxAnswers {
  std::mutex lock;
  std::deque<int> answers;
};

BoxAnswers& TheBoxAnswers() {
  static auto* answers = new BoxAnswers;  // never destroyed, like the cache
  return *answers;
}

}  // namespace

void QueueBoxAnswer(int id) {
  BoxAnswers& b = TheBoxAnswers();
  std::lock_guard guard(b.lock);
  b.answers.push_back(id);
}

std::optional<int> TakeBoxAnswer() {
  BoxAnswers& b = TheBoxAnswers();
  std::lock_guard guard(b.lock);
  if (b.answers.empty()) return std::nullopt;
  const int id = b.answers.front();
  b.answers.pop_front();
  return id;
}

void InputSource::Reset() {
  Cache& cache = TheCache();
  std::lock_guard guard(cache.lock);
  cache.source.reset();
}

}  // namespace ce::backend
