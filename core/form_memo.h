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
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace vexo {

template <typename Value, std::size_t MaxForms = std::size_t{1} << 17>
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
      if (entry.length == form.size() && form_of(entry) == form) {
        entry.asked_again = true;
        return number;
      }
    }
  }

  // Asking for many forms at once is faster in three rounds: hash them all
  // and prefetch_slot() each, then prefetch_entry() each, then number_of().
  // The first two rounds only warm the cache. The hash reads eight bytes at a
  // time (the last eight overlapping the ones before), a shorter form in two
  // overlapping halves.
  static std::uint64_t hash_of(std::string_view form) {
    const char* bytes = form.data();
    const std::size_t size = form.size();
    std::uint64_t hash = 0x9E3779B97F4A7C15ULL ^ size;
    if (size >= 8) {
      for (std::size_t i = 0; i + 8 < size; i += 8) {
        hash = mix(hash ^ load<std::uint64_t>(bytes + i));
      }
      hash = mix(hash ^ load<std::uint64_t>(bytes + size - 8));
    } else if (size >= 4) {
      hash = mix(hash ^ load<std::uint32_t>(bytes) ^
                 (std::uint64_t{load<std::uint32_t>(bytes + size - 4)} << 32));
    } else if (size > 0) {
      hash = mix(hash ^ static_cast<unsigned char>(bytes[0]) ^
                 (std::uint64_t{static_cast<unsigned char>(bytes[size / 2])} << 8) ^
                 (std::uint64_t{static_cast<unsigned char>(bytes[size - 1])} << 16));
    }
    return mix(hash);
  }
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
    Entry& entry = entries_.emplace_back(Entry{0, static_cast<std::uint32_t>(form.size()), {},
                                               std::move(value), false});
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
  static constexpr std::size_t kInlineBytes = 16;

  // Small, so that more of them stay in the cache; the hash is not kept. A
  // longer form's bytes are in forms_.
  struct Entry {
    std::uint32_t offset;  // of a longer form in forms_
    std::uint32_t length;
    std::array<char, kInlineBytes> head;  // a short form
    Value value;
    mutable bool asked_again = false;
  };

  std::string_view form_of(const Entry& entry) const {
    if (entry.length <= kInlineBytes) return std::string_view(entry.head.data(), entry.length);
    return std::string_view(forms_).substr(entry.offset, entry.length);
  }

  template <typename Word>
  static Word load(const char* bytes) {
    Word word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
  }

  static std::uint64_t mix(std::uint64_t hash) {
    hash *= 0xFF51AFD7ED558CCDULL;
    return hash ^ (hash >> 32);
  }

  static void prefetch([[maybe_unused]] const void* address) {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(address);
#endif
  }

  std::vector<Entry> entries_;
  std::string forms_;  // the bytes of the longer forms, one after another
  // A slot is 0 when empty, else the top 32 bits of the form's hash above its
  // 1-based entry number.
  std::vector<std::uint64_t> slots_;
  std::uint64_t generation_ = 0;
};

}  // namespace vexo
