// A bounded memo of pure per-form results, kept for one text (one conversion
// call, or the pieces of one text converted in turn).
//
// Prose repeats its words: most of a text is a few thousand forms, so the
// decisions about a form are worth remembering while one text converts. Once
// the memo holds kMaxForms forms it keeps those asked for again since they
// were added (or since the last such sweep) and forgets the rest, most of them
// met once; that bounds its memory however long the text. Not shared between
// threads.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/prefetch.h"
#include "core/word_hash.h"

namespace vexo {

template <typename Value, std::size_t MaxForms = std::size_t{1} << 18>
class FormMemo {
 public:
  static constexpr std::size_t kMaxForms = MaxForms;

  // The number of the entry remembered for a form, or 0. A number stays valid
  // (and at() gives its value) until the memo forgets, which changes
  // generation().
  std::uint32_t number_of(std::string_view form) const { return number_of(form, hash_of(form)); }

  // The same, given hash_of(form).
  std::uint32_t number_of(std::string_view form, std::uint64_t hash) const {
    if (entries_.empty()) return 0;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
      const std::uint64_t content = slots_[slot];
      const auto number = static_cast<std::uint32_t>(content);
      if (number == 0) return 0;
      if ((content >> 32) != (hash >> 32)) continue;  // the entry is not read for another form
      const Entry& entry = entries_[number - 1];
      if (entry.length == form.size() && same_bytes(form_of(entry).data(), form.data(), form.size())) {
        entry.asked_again = true;
        return number;
      }
    }
  }

  // Asking for many forms at once is faster in three rounds: hash them all
  // and prefetch_slot() each, then prefetch_entry() each, then number_of().
  // The first two rounds only warm the cache.
  static std::uint64_t hash_of(std::string_view form) { return word_hash(form); }
  void prefetch_slot(std::uint64_t hash) const {
    if (!slots_.empty()) prefetch(&slots_[hash & (slots_.size() - 1)]);
  }
  void prefetch_entry(std::uint64_t hash) const {
    if (slots_.empty()) return;
    const std::uint64_t content = slots_[hash & (slots_.size() - 1)];
    const auto number = static_cast<std::uint32_t>(content);
    if (number != 0 && (content >> 32) == (hash >> 32)) prefetch(&entries_[number - 1]);
  }

  Value& at(std::uint32_t number) { return entries_[number - 1].value; }
  const Value& at(std::uint32_t number) const { return entries_[number - 1].value; }
  std::uint64_t generation() const { return generation_; }

  // Remembers a value for a form not remembered yet and returns its number,
  // forgetting first when the memo is full.
  std::uint32_t add(std::string_view form, Value value) {
    const bool inline_form = form.size() <= kInlineBytes;
    if (!inline_form && form.size() > kMaxFormBytes - forms_.size()) clear();  // no room for it
    if (entries_.size() >= kMaxForms) {
      sweep();
    } else if (2 * (entries_.size() + 1) > slots_.size()) {
      grow();
    }
    if (entries_.size() == entries_.capacity() && entries_.size() >= kReserveAllAfter) {
      entries_.reserve(kMaxForms);  // a long text: no more moves, pages taken as they fill
    }
    Entry& entry = entries_.emplace_back(Entry{{0, static_cast<std::uint32_t>(form.size()), {},
                                                false, std::move(value)}});
    if (inline_form) {
      std::copy(form.begin(), form.end(), entry.head.begin());
    } else {
      entry.offset = static_cast<std::uint32_t>(forms_.size());
      forms_.append(form);
    }
    const auto number = static_cast<std::uint32_t>(entries_.size());
    place(hash_of(form), number);
    return number;
  }

  // The value remembered for a form, or nullptr. Valid until the next add.
  const Value* find(std::string_view form) const {
    const std::uint32_t number = number_of(form);
    return number == 0 ? nullptr : &entries_[number - 1].value;
  }

  // Remembers a value for a form not remembered yet; the reference is valid
  // until the next add.
  const Value& remember(std::string_view form, Value value) { return at(add(form, std::move(value))); }

  // Forgets everything.
  void clear() {
    entries_.clear();
    slots_.clear();
    forms_.clear();
    ++generation_;
  }

 private:
  // The table starts small, for short texts, and stays at least twice the
  // forms, so that probe runs stay short.
  static constexpr std::size_t kFirstSlots = 64;
  // Past this many forms the entries get room for kMaxForms at once.
  static constexpr std::size_t kReserveAllAfter = 4096;
  // What the entries' 32-bit offsets into the forms' bytes can reach.
  static constexpr std::size_t kMaxFormBytes = 0xFFFFFFFF;

  void grow() {
    slots_.assign(slots_.empty() ? kFirstSlots : 2 * slots_.size(), 0);
    place_all();
  }

  void place_all() {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      place(hash_of(form_of(entries_[i])), static_cast<std::uint32_t>(i + 1));
    }
  }

  // Keeps the first kMaxForms / 2 (which leaves room to add) of the entries
  // asked for again, and renumbers them.
  void sweep() {
    std::size_t kept = 0;
    std::string kept_forms;
    for (Entry& entry : entries_) {
      if (!entry.asked_again) continue;
      if (kept == kMaxForms / 2) break;
      entry.asked_again = false;
      if (entry.length > kInlineBytes) {
        const std::string_view form = form_of(entry);
        entry.offset = static_cast<std::uint32_t>(kept_forms.size());
        kept_forms.append(form);
      }
      if (&entries_[kept] != &entry) entries_[kept] = std::move(entry);
      ++kept;
    }
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(kept), entries_.end());
    forms_ = std::move(kept_forms);
    slots_.assign(slots_.size(), 0);
    place_all();
    ++generation_;
  }

  void place(std::uint64_t hash, std::uint32_t number) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = hash & mask;
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = (hash >> 32 << 32) | number;
  }

  // Forms of up to this many bytes (most words) are held in their entry.
  static constexpr std::size_t kInlineBytes = 15;

  // Small, so that more of them stay in the cache; the hash is not kept. A
  // longer form's bytes are in forms_. An entry of up to a cache line is
  // aligned to a power of two, so that reading it costs one line.
  struct Fields {
    std::uint32_t offset;  // of a longer form in forms_
    std::uint32_t length;
    std::array<char, kInlineBytes> head;  // a short form
    mutable bool asked_again;
    Value value;
  };
  static constexpr std::size_t kCacheLine = 64;
  static constexpr std::size_t power_of_two_from(std::size_t size) {
    std::size_t power = 1;
    while (power < size) power *= 2;
    return power;
  }
  static constexpr std::size_t kEntryAlign =
      sizeof(Fields) <= kCacheLine ? power_of_two_from(sizeof(Fields)) : alignof(Fields);
  struct alignas(kEntryAlign) Entry : Fields {};

  std::string_view form_of(const Entry& entry) const {
    if (entry.length <= kInlineBytes) return std::string_view(entry.head.data(), entry.length);
    return std::string_view(forms_).substr(entry.offset, entry.length);
  }

  std::vector<Entry> entries_;
  std::string forms_;  // the bytes of the longer forms, one after another
  // A slot is 0 when empty, else the top 32 bits of the form's hash above its
  // 1-based entry number.
  std::vector<std::uint64_t> slots_;
  std::uint64_t generation_ = 0;
};

}  // namespace vexo
