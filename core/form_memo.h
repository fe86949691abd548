// A bounded memo of pure per-form results, kept for one conversion call.
//
// Prose repeats its words: most of a text is a few thousand forms, so the
// decisions about a form are worth remembering while one text converts. The
// memo forgets everything once it holds kMaxForms forms, which bounds its
// memory however long the text. Not shared between calls or threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexo {

template <typename Value>
class FormMemo {
 public:
  static constexpr std::size_t kMaxForms = 1 << 16;

  // The value remembered for a form, or nullptr. Valid until the next
  // remember().
  const Value* find(std::string_view form) const {
    if (entries_.empty()) return nullptr;
    const std::uint64_t hash = hash_of(form);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
      const std::uint32_t number = slots_[slot];
      if (number == 0) return nullptr;
      const Entry& entry = entries_[number - 1];
      if (entry.hash == hash && entry.form == form) return &entry.value;
    }
  }

  // Remembers a value for a form not remembered yet; the reference is valid
  // until the next remember().
  const Value& remember(std::string_view form, Value value) {
    if (entries_.size() >= kMaxForms) {
      entries_.clear();
      slots_.assign(slots_.size(), 0);
    } else if (2 * (entries_.size() + 1) > slots_.size()) {
      grow();
    }
    const std::uint64_t hash = hash_of(form);
    entries_.push_back(Entry{hash, std::string(form), std::move(value)});
    place(hash, static_cast<std::uint32_t>(entries_.size()));
    return entries_.back().value;
  }

 private:
  // The table starts small, for short texts, and stays at least twice the
  // forms, so that probe runs stay short.
  static constexpr std::size_t kFirstSlots = 64;

  void grow() {
    slots_.assign(slots_.empty() ? kFirstSlots : 2 * slots_.size(), 0);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      place(entries_[i].hash, static_cast<std::uint32_t>(i + 1));
    }
  }

  void place(std::uint64_t hash, std::uint32_t number) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = hash & mask;
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = number;
  }

  struct Entry {
    std::uint64_t hash;
    std::string form;
    Value value;
  };

  static std::uint64_t hash_of(std::string_view form) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;  // FNV-1a, then mixed for the low bits
    for (const char c : form) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
    return hash ^ (hash >> 29);
  }

  std::vector<Entry> entries_;
  std::vector<std::uint32_t> slots_;
};

}  // namespace vexo
