// Alignment works on decoded characters: tokens come from the White_Space
// property, token pairs from comparing the two token lists position by
// position, and the edits of a pair from a longest-common-subsequence walk
// that is bounded by kMaxEditCells.
#include "cli/align.h"

#include <algorithm>
#include <cstdint>

#include "core/unicode.h"

namespace vexo::cli {
namespace {

std::string encode(std::u32string_view chars) {
  std::string out;
  out.reserve(chars.size());
  for (const char32_t c : chars) append_utf8(out, c);
  return out;
}

std::u32string decode(std::string_view text) {
  const std::vector<char32_t> chars = decode_utf8(text);
  return std::u32string(chars.begin(), chars.end());
}

bool is_letter_or_digit(char32_t c) {
  return is_ascii_letter(c) || is_ascii_digit(c) || is_alphabetic(c) || is_numeric(c);
}

bool same_shape(const std::vector<Token>& a, const std::vector<Token>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k) {
    if (a[k].space != b[k].space) return false;
    if (a[k].space && a[k].text != b[k].text) return false;
  }
  return true;
}

// Lengths of the common prefix and of the common suffix that does not overlap
// it, counting only characters that pass `strippable`.
template <typename Pred>
std::pair<std::size_t, std::size_t> common_ends(std::u32string_view a, std::u32string_view b,
                                                Pred strippable) {
  const std::size_t shorter = std::min(a.size(), b.size());
  std::size_t prefix = 0;
  while (prefix < shorter && a[prefix] == b[prefix] && strippable(a[prefix])) ++prefix;
  std::size_t suffix = 0;
  while (prefix + suffix < shorter && a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix] &&
         strippable(a[a.size() - 1 - suffix])) {
    ++suffix;
  }
  return {prefix, suffix};
}

// Edits turning `from` into `to`, both without a common first or last
// character, found by walking the longest-common-subsequence table.
// Positions are relative to the start of `from`.
std::vector<Edit> subsequence_edits(std::u32string_view from, std::u32string_view to) {
  const std::size_t m = from.size();
  const std::size_t n = to.size();
  const std::size_t width = n + 1;
  std::vector<std::uint32_t> table((m + 1) * width, 0);
  const auto at = [&](std::size_t i, std::size_t j) -> std::uint32_t& { return table[i * width + j]; };
  for (std::size_t i = m; i-- > 0;) {
    for (std::size_t j = n; j-- > 0;) {
      at(i, j) = from[i] == to[j] ? at(i + 1, j + 1) + 1 : std::max(at(i + 1, j), at(i, j + 1));
    }
  }

  std::vector<Edit> edits;
  bool open = false;
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < m || j < n) {
    if (i < m && j < n && from[i] == to[j]) {
      open = false;
      ++i;
      ++j;
      continue;
    }
    if (!open) {
      edits.push_back(Edit{i, i, {}});
      open = true;
    }
    if (j == n || (i < m && at(i + 1, j) >= at(i, j + 1))) {
      ++i;
      edits.back().end = i;
    } else {
      append_utf8(edits.back().replacement, to[j]);
      ++j;
    }
  }
  return edits;
}

constexpr std::size_t kNoPiece = static_cast<std::size_t>(-1);

// The piece each character of the old text came from, or kNoPiece for a
// placeholder character (and for characters beyond the pieces).
std::vector<std::size_t> character_owners(std::span<const Piece> pieces, std::size_t length) {
  std::vector<std::size_t> owners;
  owners.reserve(length);
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    const std::size_t owner = pieces[k].placeholder ? kNoPiece : k;
    owners.insert(owners.end(), count_code_points(pieces[k].text), owner);
  }
  owners.resize(length, kNoPiece);
  return owners;
}

// The piece that receives a replacement starting at character `i`: the owner
// of the first owned character at or after it, else of the last one before.
class Receiver {
 public:
  explicit Receiver(const std::vector<std::size_t>& owners)
      : next_(owners.size() + 1, kNoPiece), previous_(owners.size() + 1, kNoPiece) {
    for (std::size_t i = owners.size(); i-- > 0;) {
      next_[i] = owners[i] != kNoPiece ? owners[i] : next_[i + 1];
    }
    for (std::size_t i = 0; i < owners.size(); ++i) {
      previous_[i + 1] = owners[i] != kNoPiece ? owners[i] : previous_[i];
    }
  }

  std::size_t at(std::size_t i) const { return next_[i] != kNoPiece ? next_[i] : previous_[i]; }

 private:
  std::vector<std::size_t> next_;      // owner of the first owned character at or after i
  std::vector<std::size_t> previous_;  // owner of the last owned character before i
};

}  // namespace

std::vector<Token> split_tokens(std::string_view text) {
  std::vector<Token> tokens;
  std::size_t byte = 0;
  std::size_t index = 0;
  while (byte < text.size()) {
    const std::size_t first_byte = byte;
    Token token;
    token.start = index;
    token.space = is_white_space(next_code_point(text, byte));
    ++index;
    while (byte < text.size()) {
      std::size_t after = byte;
      if (is_white_space(next_code_point(text, after)) != token.space) break;
      byte = after;
      ++index;
    }
    token.text.assign(text.substr(first_byte, byte - first_byte));
    tokens.push_back(std::move(token));
  }
  return tokens;
}

std::vector<TokenPair> token_pairs(std::string_view old_text, std::string_view new_text) {
  if (old_text == new_text) return {};
  std::vector<Token> old_tokens = split_tokens(old_text);
  std::vector<Token> new_tokens = split_tokens(new_text);
  if (!same_shape(old_tokens, new_tokens)) {
    return {TokenPair{std::string(old_text), 0, std::string(new_text)}};
  }
  std::vector<TokenPair> pairs;
  for (std::size_t k = 0; k < old_tokens.size(); ++k) {
    if (old_tokens[k].text == new_tokens[k].text) continue;
    pairs.push_back(TokenPair{std::move(old_tokens[k].text), old_tokens[k].start,
                              std::move(new_tokens[k].text)});
  }
  return pairs;
}

std::vector<WordChange> word_changes(std::string_view old_text, std::string_view new_text) {
  std::vector<WordChange> changes;
  for (const TokenPair& pair : token_pairs(old_text, new_text)) {
    const std::u32string from = decode(pair.old_text);
    const std::u32string to = decode(pair.new_text);
    const auto [prefix, suffix] =
        common_ends(from, to, [](char32_t c) { return !is_letter_or_digit(c); });
    changes.push_back(WordChange{
        encode(std::u32string_view(from).substr(prefix, from.size() - prefix - suffix)),
        encode(std::u32string_view(to).substr(prefix, to.size() - prefix - suffix))});
  }
  return changes;
}

std::vector<Edit> token_edits(const TokenPair& pair) {
  const std::u32string from = decode(pair.old_text);
  const std::u32string to = decode(pair.new_text);
  const auto [prefix, suffix] = common_ends(from, to, [](char32_t) { return true; });
  const std::u32string_view old_middle =
      std::u32string_view(from).substr(prefix, from.size() - prefix - suffix);
  const std::u32string_view new_middle =
      std::u32string_view(to).substr(prefix, to.size() - prefix - suffix);
  const std::size_t m = old_middle.size();
  const std::size_t n = new_middle.size();
  const std::size_t base = pair.old_start + prefix;

  if (m == 0 && n == 0) return {};
  if (m == 0 || n == 0 || (m + 1) * (n + 1) > kMaxEditCells) {
    return {Edit{base, base + m, encode(new_middle)}};
  }
  std::vector<Edit> edits = subsequence_edits(old_middle, new_middle);
  for (Edit& edit : edits) {
    edit.start += base;
    edit.end += base;
  }
  return edits;
}

std::vector<std::string> distribute_runs(std::span<const Piece> pieces, std::string_view old_text,
                                         std::string_view new_text) {
  std::vector<std::string> result(pieces.size());
  if (old_text == new_text) {
    for (std::size_t k = 0; k < pieces.size(); ++k) {
      if (!pieces[k].placeholder) result[k] = pieces[k].text;
    }
    return result;
  }

  std::vector<Edit> edits;
  for (const TokenPair& pair : token_pairs(old_text, new_text)) {
    std::vector<Edit> pair_edits = token_edits(pair);
    edits.insert(edits.end(), std::make_move_iterator(pair_edits.begin()),
                 std::make_move_iterator(pair_edits.end()));
  }

  const std::u32string old_chars = decode(old_text);
  const std::size_t length = old_chars.size();
  const std::vector<std::size_t> owners = character_owners(pieces, length);
  const Receiver receiver(owners);

  std::size_t next_edit = 0;
  std::size_t i = 0;
  while (true) {
    if (next_edit < edits.size() && edits[next_edit].start <= i) {
      const Edit& edit = edits[next_edit++];
      const std::size_t piece = receiver.at(i);
      if (piece != kNoPiece) result[piece] += edit.replacement;
      i = std::max(i, edit.end);
      continue;
    }
    if (i >= length) break;
    if (owners[i] != kNoPiece) append_utf8(result[owners[i]], old_chars[i]);
    ++i;
  }
  return result;
}

}  // namespace vexo::cli
