// What writing Latin text in Cyrillic remembers about the word forms it has
// met, kept for one text (one call, or the pieces of one text converted in
// turn): per form the English score of its core, the score that decides how
// it is written (that of the word after a number, else the same) and any
// others that do, a few traits, and what the form is written as in up to
// kMaxWays kinds of place.
//
// A form and everything remembered about it fit in one 64-byte entry (texts
// that would not fit as they are packed at about a byte per letter), so that
// a form met again costs its slot and one cache line: prose meets a hundred
// thousand forms and more, and a smaller table stays in the cache. Forms
// longer than kMaxFormBytes are not remembered. Once the table is full it
// keeps those asked for again since they were added (or since the last such
// sweep), at most half of it, and forgets the rest, most of them met once.
// Not shared between threads.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/prefetch.h"
#include "core/word_hash.h"

namespace vexo {

class CyrillicForms {
 public:
  static constexpr std::size_t kMaxForms = std::size_t{1} << 17;
  static constexpr std::size_t kMaxWays = 3;
  static constexpr std::size_t kEntryBytes = 40;  // the form, its extra scores, its texts
  static constexpr std::size_t kMaxFormBytes = 32;

  // One way of writing a form: for the place flags `flags`, its text
  // bytes[offset, +length), packed or as it is, or the form itself when
  // offset is kAsWritten.
  struct Way {
    static constexpr std::uint8_t kAsWritten = 0xFF;
    std::uint8_t flags;
    bool quote_out;
    std::uint8_t offset;
    std::uint8_t length : 7;
    std::uint8_t packed : 1;
  };

  struct alignas(64) Entry {
    float score;
    float deciding_score;
    std::uint8_t traits;  // the caller's in the low seven bits; the top one is the table's
    std::uint8_t form_length;
    std::uint8_t used;  // bytes in use
    std::uint8_t way_count;
    std::array<Way, kMaxWays> ways;
    std::array<char, kEntryBytes> bytes;

    std::string_view form() const { return std::string_view(bytes.data(), form_length); }
    // The i-th of the scores added with the form.
    float extra_score(std::size_t i) const {
      float score;
      std::memcpy(&score, bytes.data() + form_length + i * sizeof score, sizeof score);
      return score;
    }
    const Way* way(std::uint8_t flags) const {
      for (std::size_t i = 0; i < way_count; ++i) {
        if (ways[i].flags == flags) return &ways[i];
      }
      return nullptr;
    }
    // Remembers a way of writing the form, when there is room: `text` is
    // the form itself, or is held after what is already held: as it is
    // where it fits, so that it is copied out as it is, else packed.
    void remember(std::uint8_t flags, bool quote_out, std::string_view text);
    // Appends the text of one of the entry's ways.
    void append_text(std::string& out, const Way& way) const;
  };
  static_assert(sizeof(Entry) == 64);

  // A table that keeps at most `max_forms` forms (2 to kMaxForms).
  explicit CyrillicForms(std::size_t max_forms = kMaxForms)
      : max_forms_(std::clamp(max_forms, std::size_t{2}, kMaxForms)) {}

  static std::uint64_t hash_of(std::string_view form) { return word_hash(form); }

  // The number of a remembered form (hash_of(form) given), or 0. A number
  // stays valid until the table forgets, which changes generation().
  std::uint32_t number_of(std::string_view form, std::uint64_t hash) const;

  // Remembers a form not remembered yet, of at most kMaxFormBytes, with its
  // scores, traits (below 0x80) and up to kMaxExtraScores scores more, kept
  // beside the form, and returns its number.
  static constexpr std::size_t kMaxExtraScores = 2;
  std::uint32_t add(std::string_view form, std::uint64_t hash, float score, float deciding_score,
                    std::uint8_t traits, std::span<const float> extra_scores = {});

  Entry& at(std::uint32_t number) { return entries_[number - 1]; }
  std::uint64_t generation() const { return generation_; }

  // Looking up many forms is faster in rounds: prefetch_slot() each, then
  // prefetch_entry() each, then number_of() each.
  void prefetch_slot(std::uint64_t hash) const {
    if (!slots_.empty()) vexo::prefetch(&slots_[hash & (slots_.size() - 1)]);
  }
  void prefetch_entry(std::uint64_t hash) const {
    if (slots_.empty()) return;
    const std::uint32_t slot = slots_[hash & (slots_.size() - 1)];
    if (slot != 0 && (slot >> kNumberBits) == tag_of(hash)) {
      vexo::prefetch(&entries_[(slot & kNumberMask) - 1]);
    }
  }

 private:
  // A slot holds the top bits of the form's hash above its 1-based number;
  // 0 is empty. The table stays at least twice the forms.
  static constexpr unsigned kNumberBits = 18;
  static constexpr std::uint32_t kNumberMask = (std::uint32_t{1} << kNumberBits) - 1;
  static_assert(kMaxForms <= kNumberMask);
  static constexpr std::size_t kFirstSlots = 64;
  static constexpr std::size_t kReserveAllAfter = 4096;
  static constexpr std::uint8_t kAskedAgain = 0x80;

  static std::uint32_t tag_of(std::uint64_t hash) {
    return static_cast<std::uint32_t>(hash >> (64 - (32 - kNumberBits)));
  }
  void place(std::uint64_t hash, std::uint32_t number);
  void place_all();
  void sweep();

  std::size_t max_forms_;
  mutable std::vector<Entry> entries_;  // number_of() marks entries asked again
  std::vector<std::uint32_t> slots_;
  std::uint64_t generation_ = 0;
};

// Texts are packed a byte per character of the Cyrillic letters Uzbek uses
// and of ASCII; any other byte takes two.
void append_packed(std::string& out, std::string_view text);
void append_unpacked(std::string& out, std::string_view packed);

}  // namespace vexo
