#include "core/cyrillic_forms.h"

namespace vexo {

namespace {

// Packing: ASCII stays; the two-byte letters U+0400..U+043F become 0x80 |
// low six bits, U+0440..U+045F 0xC0 | low five bits, and Ғ ғ Қ қ Ҳ ҳ
// 0xE0..0xE5; any other byte is written after kEscape.
constexpr unsigned char kEscape = 0xFF;
constexpr std::array<unsigned char, 6> kThirdRow = {0x92, 0x93, 0x9A, 0x9B, 0xB2, 0xB3};

// Writes the packed text to `out`, which has room for twice its bytes, and
// returns its length.
std::size_t pack(std::string_view text, char* out) {
  char* const start = out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0u;
    if (b < 0x80) {
      *out++ = static_cast<char>(b);
      continue;
    }
    if (b == 0xD0 && (next & 0xC0) == 0x80) {
      *out++ = static_cast<char>(0x80 | (next & 0x3F));
      ++i;
      continue;
    }
    if (b == 0xD1 && next >= 0x80 && next <= 0x9F) {
      *out++ = static_cast<char>(0xC0 | (next & 0x1F));
      ++i;
      continue;
    }
    if (b == 0xD2) {
      const auto* row = std::find(kThirdRow.begin(), kThirdRow.end(), next);
      if (row != kThirdRow.end()) {
        *out++ = static_cast<char>(0xE0 + (row - kThirdRow.begin()));
        ++i;
        continue;
      }
    }
    *out++ = static_cast<char>(kEscape);
    *out++ = static_cast<char>(b);
  }
  return static_cast<std::size_t>(out - start);
}

}  // namespace

void append_packed(std::string& out, std::string_view text) {
  const std::size_t start = out.size();
  out.resize(start + 2 * text.size());
  out.resize(start + pack(text, out.data() + start));
}

// What each packed byte stands for, two bytes at most; kEscape is read
// apart.
struct Unpacked {
  std::array<char, 2> bytes;
  std::uint8_t length;
};

constexpr std::array<Unpacked, 256> unpacking_table() {
  std::array<Unpacked, 256> table{};
  for (unsigned b = 0; b < 256; ++b) {
    Unpacked& u = table[b];
    if (b < 0x80) {
      u = {{static_cast<char>(b), 0}, 1};
    } else if (b < 0xC0) {
      u = {{static_cast<char>(0xD0), static_cast<char>(b)}, 2};
    } else if (b < 0xE0) {
      u = {{static_cast<char>(0xD1), static_cast<char>(0x80 | (b & 0x1F))}, 2};
    } else if (b < 0xE0 + kThirdRow.size()) {
      u = {{static_cast<char>(0xD2), static_cast<char>(kThirdRow[b - 0xE0])}, 2};
    }
  }
  return table;
}

constexpr std::array<Unpacked, 256> kUnpacking = unpacking_table();

// Writes the unpacked text to `out`, which has room for twice its bytes, and
// returns its length.
std::size_t unpack(std::string_view packed, char* out) {
  char* to = out;
  for (std::size_t i = 0; i < packed.size(); ++i) {
    const auto b = static_cast<unsigned char>(packed[i]);
    if (b == kEscape) {
      *to++ = packed[++i];  // never the last byte
      continue;
    }
    const Unpacked& u = kUnpacking[b];
    std::memcpy(to, u.bytes.data(), 2);
    to += u.length;
  }
  return static_cast<std::size_t>(to - out);
}

void append_unpacked(std::string& out, std::string_view packed) {
  // Unpacked on the stack, which is cheaper than growing `out` to its
  // longest and back: a form's texts are short.
  constexpr std::size_t kOnStack = 128;
  if (packed.size() > kOnStack / 2) {
    const std::size_t start = out.size();
    out.resize(start + 2 * packed.size());
    out.resize(start + unpack(packed, out.data() + start));
    return;
  }
  std::array<char, kOnStack> unpacked;
  out.append(unpacked.data(), unpack(packed, unpacked.data()));
}

namespace {

// Points `way` at `text` among the texts an entry holds, adding it after them
// when it is not held yet and there is room; false when there is none.
bool hold(CyrillicForms::Entry& entry, std::string_view text, CyrillicForms::Way& way) {
  const std::size_t start = entry.form_length;  // texts and extra scores follow the form
  const std::string_view held(entry.bytes.data() + start, entry.used - start);
  std::size_t offset = held.find(text);
  if (offset != std::string_view::npos) {
    offset += start;
  } else {
    if (text.size() > CyrillicForms::kEntryBytes - entry.used) return false;
    offset = entry.used;
    std::copy(text.begin(), text.end(), entry.bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    entry.used = static_cast<std::uint8_t>(offset + text.size());
  }
  way.offset = static_cast<std::uint8_t>(offset);
  way.length = static_cast<std::uint8_t>(text.size()) & 0x7F;
  return true;
}

}  // namespace

void CyrillicForms::Entry::remember(std::uint8_t flags, bool quote_out, std::string_view text) {
  if (way_count == kMaxWays) return;
  Way fresh{flags, quote_out, Way::kAsWritten, 0, 0};
  if (text != form() && !hold(*this, text, fresh)) {
    if (text.size() > 2 * kEntryBytes) return;
    std::array<char, 4 * kEntryBytes> buffer;
    if (!hold(*this, std::string_view(buffer.data(), pack(text, buffer.data())), fresh)) return;
    fresh.packed = 1;
  }
  ways[way_count++] = fresh;
}

void CyrillicForms::Entry::append_text(std::string& out, const Way& way) const {
  if (way.offset == Way::kAsWritten) {
    out.append(form());
    return;
  }
  const std::string_view text(bytes.data() + way.offset, way.length);
  if (way.packed) {
    append_unpacked(out, text);
  } else {
    out.append(text);
  }
}

std::uint32_t CyrillicForms::number_of(std::string_view form, std::uint64_t hash) const {
  if (slots_.empty()) return 0;
  const std::size_t mask = slots_.size() - 1;
  const std::uint32_t tag = tag_of(hash);
  for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
    const std::uint32_t content = slots_[slot];
    if (content == 0) return 0;
    if ((content >> kNumberBits) != tag) continue;
    const std::uint32_t number = content & kNumberMask;
    Entry& entry = entries_[number - 1];
    if (entry.form_length == form.size() && same_bytes(entry.bytes.data(), form.data(), form.size())) {
      // Written once, so that a line asked for often is not made dirty again.
      if ((entry.traits & kAskedAgain) == 0) entry.traits |= kAskedAgain;
      return number;
    }
  }
}

std::uint32_t CyrillicForms::add(std::string_view form, std::uint64_t hash, float score,
                                 float deciding_score, std::uint8_t traits,
                                 std::span<const float> extra_scores) {
  if (entries_.size() >= max_forms_) {
    sweep();
  } else if (2 * (entries_.size() + 1) > slots_.size()) {
    slots_.assign(slots_.empty() ? kFirstSlots : 2 * slots_.size(), 0);
    place_all();
  }
  if (entries_.size() == entries_.capacity() && entries_.size() >= kReserveAllAfter) {
    entries_.reserve(max_forms_);  // a long text: no more moves, pages taken as they fill
  }
  Entry& entry = entries_.emplace_back();
  entry.score = score;
  entry.deciding_score = deciding_score;
  entry.traits = static_cast<std::uint8_t>(traits & ~kAskedAgain);
  entry.form_length = static_cast<std::uint8_t>(form.size());
  entry.way_count = 0;
  std::copy(form.begin(), form.end(), entry.bytes.begin());
  const std::size_t extra_bytes = std::min(extra_scores.size(), kMaxExtraScores) * sizeof(float);
  if (extra_bytes > 0) std::memcpy(entry.bytes.data() + form.size(), extra_scores.data(), extra_bytes);
  entry.used = static_cast<std::uint8_t>(form.size() + extra_bytes);
  const auto number = static_cast<std::uint32_t>(entries_.size());
  place(hash, number);
  return number;
}

void CyrillicForms::place(std::uint64_t hash, std::uint32_t number) {
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = hash & mask;
  while (slots_[slot] != 0) slot = (slot + 1) & mask;
  slots_[slot] = (tag_of(hash) << kNumberBits) | number;
}

void CyrillicForms::place_all() {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    place(hash_of(entries_[i].form()), static_cast<std::uint32_t>(i + 1));
  }
}

// Keeps the first half of what fits (which leaves room to add) of the entries
// asked for again, and renumbers them.
void CyrillicForms::sweep() {
  std::size_t kept = 0;
  for (Entry& entry : entries_) {
    if ((entry.traits & kAskedAgain) == 0) continue;
    if (kept == max_forms_ / 2) break;
    entry.traits = static_cast<std::uint8_t>(entry.traits & ~kAskedAgain);
    entries_[kept++] = entry;
  }
  entries_.resize(kept);
  std::fill(slots_.begin(), slots_.end(), 0);
  place_all();
  ++generation_;
}

}  // namespace vexo
