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

// One token in place: bytes [begin, end) of its text, its number of
// characters and whether it is white space.
struct TokenSpan {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::size_t characters = 0;
  bool space = false;
};

bool is_space_at(std::string_view text, std::size_t& byte) {
  const unsigned char c = static_cast<unsigned char>(text[byte]);
  if (c < 0x80) {
    ++byte;
    return c == ' ' || (c >= 0x09 && c <= 0x0D);
  }
  return is_white_space(next_code_point(text, byte));
}

// The token that starts at `byte`, which moves past it; false at the end.
bool next_token(std::string_view text, std::size_t& byte, TokenSpan& token) {
  if (byte >= text.size()) return false;
  token.begin = byte;
  token.characters = 1;
  token.space = is_space_at(text, byte);
  while (byte < text.size()) {
    std::size_t after = byte;
    if (is_space_at(text, after) != token.space) break;
    byte = after;
    ++token.characters;
  }
  token.end = byte;
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

// The byte after `count` characters of valid UTF-8 from `byte`.
std::size_t skip_characters(std::string_view text, std::size_t byte, std::size_t count) {
  for (; count > 0 && byte < text.size(); --count) {
    const unsigned char lead = static_cast<unsigned char>(text[byte]);
    byte += lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  }
  return std::min(byte, text.size());
}

// A walk over the characters of a paragraph's old text that hands them, and
// the replacements of edits, to the pieces they belong to. A character
// belongs to the piece it came from unless that is a placeholder; a
// replacement at character i goes to the piece of the first owned character
// at or after i, else of the last one before it.
class PieceWalk {
 public:
  PieceWalk(std::span<const Piece> pieces, std::string_view old_text,
            std::vector<std::string>& out)
      : pieces_(pieces), text_(old_text), out_(out), first_(pieces.size() + 1, 0),
        next_owned_(pieces.size() + 1, kNoPiece) {
    for (std::size_t k = 0; k < pieces.size(); ++k) {
      first_[k + 1] = first_[k] + count_code_points(pieces[k].text);
    }
    for (std::size_t k = pieces.size(); k-- > 0;) {
      next_owned_[k] = owned(k) ? k : next_owned_[k + 1];
      if (owned(k) && last_owned_ == kNoPiece) last_owned_ = k;
    }
  }

  std::size_t length() const { return first_.back(); }

  // Hands the characters up to `target` to their pieces.
  void copy_to(std::size_t target) {
    target = std::min(target, length());
    while (at_ < target) {
      settle();
      const std::size_t stop = std::min(target, first_[piece_ + 1]);
      const std::size_t begin = byte_;
      byte_ = skip_characters(text_, byte_, stop - at_);
      if (!pieces_[piece_].placeholder) out_[piece_].append(text_, begin, byte_ - begin);
      at_ = stop;
    }
  }

  // Passes over the characters up to `target` without handing them on.
  void skip_to(std::size_t target) {
    if (target <= at_) return;
    target = std::min(target, length());
    byte_ = skip_characters(text_, byte_, target - at_);
    at_ = target;
  }

  void receive(std::string_view replacement) {
    settle();
    const std::size_t next = next_owned_[piece_];
    const std::size_t piece = next != kNoPiece ? next : last_owned_;
    if (piece != kNoPiece) out_[piece] += replacement;
  }

 private:
  bool owned(std::size_t k) const { return !pieces_[k].placeholder && first_[k + 1] > first_[k]; }

  // Moves to the piece that holds the current character (past the last piece
  // at the end).
  void settle() {
    while (piece_ < pieces_.size() && first_[piece_ + 1] <= at_) ++piece_;
  }

  std::span<const Piece> pieces_;
  std::string_view text_;
  std::vector<std::string>& out_;
  std::vector<std::size_t> first_;       // the first character of each piece, then the length
  std::vector<std::size_t> next_owned_;  // the first owned piece at or after each
  std::size_t last_owned_ = kNoPiece;
  std::size_t piece_ = 0;
  std::size_t at_ = 0;    // character
  std::size_t byte_ = 0;  // its byte in the text
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
  // Both texts are walked token by token; only the tokens that differ are
  // kept, and a difference of shape gives up for the whole texts.
  std::vector<TokenPair> pairs;
  std::size_t old_byte = 0, new_byte = 0, start = 0;
  TokenSpan from, to;
  while (true) {
    const bool more = next_token(old_text, old_byte, from);
    if (more != next_token(new_text, new_byte, to)) break;
    if (!more) return pairs;
    if (from.space != to.space) break;
    const std::string_view old_token = old_text.substr(from.begin, from.end - from.begin);
    const std::string_view new_token = new_text.substr(to.begin, to.end - to.begin);
    if (old_token != new_token) {
      if (from.space) break;
      pairs.push_back(TokenPair{std::string(old_token), start, std::string(new_token)});
    }
    start += from.characters;
  }
  return {TokenPair{std::string(old_text), 0, std::string(new_text)}};
}

std::vector<WordChange> word_changes(std::string_view old_text, std::string_view new_text) {
  return word_changes(token_pairs(old_text, new_text));
}

std::vector<WordChange> word_changes(std::span<const TokenPair> pairs) {
  std::vector<WordChange> changes;
  changes.reserve(pairs.size());
  for (const TokenPair& pair : pairs) {
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
  return distribute_runs(pieces, old_text, new_text, token_pairs(old_text, new_text));
}

std::vector<std::string> distribute_runs(std::span<const Piece> pieces, std::string_view old_text,
                                         std::string_view new_text,
                                         std::span<const TokenPair> pairs) {
  std::vector<std::string> result(pieces.size());
  if (old_text == new_text) {
    for (std::size_t k = 0; k < pieces.size(); ++k) {
      if (!pieces[k].placeholder) result[k] = pieces[k].text;
    }
    return result;
  }
  // A single text piece takes the whole new text.
  if (pieces.size() == 1 && !pieces[0].placeholder && !pieces[0].text.empty()) {
    result[0] = new_text;
    return result;
  }

  std::vector<Edit> edits;
  for (const TokenPair& pair : pairs) {
    std::vector<Edit> pair_edits = token_edits(pair);
    edits.insert(edits.end(), std::make_move_iterator(pair_edits.begin()),
                 std::make_move_iterator(pair_edits.end()));
  }
  PieceWalk walk(pieces, old_text, result);
  for (const Edit& edit : edits) {
    walk.copy_to(edit.start);
    walk.receive(edit.replacement);
    walk.skip_to(edit.end);
  }
  walk.copy_to(walk.length());
  return result;
}

}  // namespace vexo::cli
