// The hash of a word's bytes that the word-list tables are built with (by
// tools/gen_lexicon.py, which computes the same function) and that the
// per-text memos key their forms by, and the comparison of two words of the
// same length that confirms a hit. Both read eight bytes at a time (the last
// eight overlapping the ones before), a shorter word in two overlapping
// halves, so that they cost a few instructions whatever the word and need no
// call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace vexo {

namespace word_hash_detail {

template <typename Word>
inline Word load(const char* bytes) {
  Word word;
  std::memcpy(&word, bytes, sizeof word);  // little-endian on every target
  return word;
}

inline std::uint64_t mix(std::uint64_t hash) {
  hash *= 0xFF51AFD7ED558CCDULL;
  return hash ^ (hash >> 32);
}

}  // namespace word_hash_detail

inline std::uint64_t word_hash(std::string_view word) {
  using word_hash_detail::load;
  using word_hash_detail::mix;
  const char* bytes = word.data();
  const std::size_t size = word.size();
  std::uint64_t hash = 0x9E3779B97F4A7C15ULL ^ size;
  if (size >= 8) {
    for (std::size_t i = 0; i + 8 < size; i += 8) hash = mix(hash ^ load<std::uint64_t>(bytes + i));
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

// True when the `size` bytes at `a` and at `b` are the same.
inline bool same_bytes(const char* a, const char* b, std::size_t size) {
  using word_hash_detail::load;
  if (size >= 8) {
    for (std::size_t i = 0; i + 8 < size; i += 8) {
      if (load<std::uint64_t>(a + i) != load<std::uint64_t>(b + i)) return false;
    }
    return load<std::uint64_t>(a + size - 8) == load<std::uint64_t>(b + size - 8);
  }
  if (size >= 4) {
    return load<std::uint32_t>(a) == load<std::uint32_t>(b) &&
           load<std::uint32_t>(a + size - 4) == load<std::uint32_t>(b + size - 4);
  }
  // One to three bytes: the first, middle and last are all of them.
  return size == 0 || (a[0] == b[0] && a[size / 2] == b[size / 2] && a[size - 1] == b[size - 1]);
}

}  // namespace vexo
