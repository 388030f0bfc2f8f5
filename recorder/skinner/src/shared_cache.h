// A cache of shared entries that exists while any of its users does: users
// join and leave it; an entry counts its holders (`Entry::count`) and leaves
// the cache with its last one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>

namespace skinner {

template <typename Key, typename Entry>
class SharedCache {
 public:
  void join() {
    if (users_++ == 0) entries_ = std::make_unique<std::map<Key, Entry>>();
  }
  void leave() {
    if (--users_ == 0) entries_.reset();
  }

  // The entry under the key (made empty when new), counted once more.
  Entry& acquire(const Key& key) {
    Entry& entry = (*entries_)[key];
    ++entry.count;
    return entry;
  }
  // One holder less; the entry goes with its last. Clears the pointer.
  void release(Entry*& entry) {
    if (entry == nullptr) return;
    if (--entry->count == 0) {
      for (auto it = entries_->begin(); it != entries_->end(); ++it) {
        if (&it->second == entry) {
          entries_->erase(it);
          break;
        }
      }
    }
    entry = nullptr;
  }

  std::size_t size() const { return entries_ != nullptr ? entries_->size() : 0; }
  bool exists() const { return entries_ != nullptr; }

 private:
  std::unique_ptr<std::map<Key, Entry>> entries_;
  std::uint32_t users_ = 0;
};

}  // namespace skinner
