// The slot-and-generation table behind every kind of handle the platform
// hands out (kernel objects, GDI objects, and the kinds the window system
// adds). Each slot holds a shared object and a generation that moves on
// when the object is removed, so a handle value that encodes slot and
// generation names one object only: a removed handle stops matching even
// after its slot is reused. Each user encodes the two numbers into its own
// handle values and serialises access to its table.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace ce::kernel {

template <class Object>
class HandleTable {
 public:
  struct Slot {
    std::uint32_t index = 0;
    std::uint32_t generation = 0;
  };

  // At most `maxEntries` slots; generations wrap at `generationMask`, the
  // bits of them a handle value keeps.
  HandleTable(std::uint32_t maxEntries, std::uint32_t generationMask)
      : maxEntries_(maxEntries), generationMask_(generationMask) {}

  // Stores a non-null object in a free slot; nullopt when every slot is in
  // use.
  std::optional<Slot> Insert(std::shared_ptr<Object> object) {
    std::uint32_t index;
    if (!free_.empty()) {
      index = free_.back();
      free_.pop_back();
    } else {
      if (entries_.size() >= maxEntries_) return std::nullopt;
      index = static_cast<std::uint32_t>(entries_.size());
      entries_.emplace_back();
    }
    Entry& entry = entries_[index];
    entry.object = std::move(object);
    return Slot{index, entry.generation};
  }

  // The live object of a slot if the generation matches; null otherwise.
  const std::shared_ptr<Object>* Find(Slot slot) const {
    if (slot.index >= entries_.size()) return nullptr;
    const Entry& entry = entries_[slot.index];
    if (!entry.object || entry.generation != slot.generation) return nullptr;
    return &entry.object;
  }

  // Takes the object out of its slot, moves the slot's generation on and
  // frees the slot; null when the slot is not live. The caller decides where
  // the object dies (outside its lock, say).
  std::shared_ptr<Object> Remove(Slot slot) {
    if (!Find(slot)) return nullptr;
    Entry& entry = entries_[slot.index];
    std::shared_ptr<Object> object = std::move(entry.object);
    entry.object.reset();
    entry.generation = (entry.generation + 1) & generationMask_;
    free_.push_back(slot.index);
    return object;
  }

 private:
  struct Entry {
    std::shared_ptr<Object> object;
    std::uint32_t generation = 0;
  };

  std::uint32_t maxEntries_;
  std::uint32_t generationMask_;
  std::vector<Entry> entries_;
  std::vector<std::uint32_t> free_;
};

}  // namespace ce::kernel
