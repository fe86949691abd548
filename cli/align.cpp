// Alignment works on UTF-8 and decodes only what it must: tokens come from
// the White_Space property, token pairs from comparing the two texts' tokens
// position by position (stretches both texts share are passed over a word at
// a time), and the edits of a pair from a longest-common-subsequence walk over
// the characters between its common ends, bounded by kMaxEditCells.
#include "cli/align.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

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
  std::u32string chars;
  chars.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) chars.push_back(next_code_point(text, i));
  return chars;
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

bool is_continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The number of leading bytes two texts share.
std::size_t shared_prefix(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t x = 0, y = 0;
    std::memcpy(&x, a.data() + i, 8);
    std::memcpy(&y, b.data() + i, 8);
    if (x != y) break;
  }
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

// The start of the token that holds the character ending at byte `end`, not
// before `floor` (a token start).
std::size_t token_start_before(std::string_view text, std::size_t floor, std::size_t end) {
  if (end <= floor) return floor;
  std::size_t at = end;
  const bool space = is_white_space(previous_code_point(text, at));
  while (at > floor) {
    std::size_t before = at;
    if (is_white_space(previous_code_point(text, before)) != space) break;
    at = before;
  }
  return at;
}

// Byte lengths of the common prefix and of the common suffix that does not
// overlap it, both ending on character boundaries of valid UTF-8.
std::pair<std::size_t, std::size_t> common_byte_ends(std::string_view a, std::string_view b) {
  std::size_t prefix = shared_prefix(a, b);
  while (prefix > 0 && ((prefix < a.size() && is_continuation(a[prefix])) ||
                        (prefix < b.size() && is_continuation(b[prefix])))) {
    --prefix;
  }
  const std::size_t most = std::min(a.size(), b.size()) - prefix;
  std::size_t suffix = 0;
  while (suffix < most && a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix]) ++suffix;
  while (suffix > 0 && is_continuation(a[a.size() - suffix])) --suffix;
  return {prefix, suffix};
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
// Appended to `edits`, with positions counted from `base`, the position of
// the start of `from`.
void add_subsequence_edits(std::u32string_view from, std::u32string_view to, std::size_t base,
                           std::vector<Edit>& edits) {
  const std::size_t m = from.size();
  const std::size_t n = to.size();
  const std::size_t width = n + 1;
  // The tables of most changed words fit on the stack.
  constexpr std::size_t kStackCells = 256;
  std::array<std::uint32_t, kStackCells> small;
  std::vector<std::uint32_t> large;
  std::uint32_t* table = small.data();
  if ((m + 1) * width > kStackCells) {
    large.resize((m + 1) * width);
    table = large.data();
  }
  const auto at = [&](std::size_t i, std::size_t j) -> std::uint32_t& { return table[i * width + j]; };
  for (std::size_t i = 0; i <= m; ++i) at(i, n) = 0;
  for (std::size_t j = 0; j <= n; ++j) at(m, j) = 0;
  for (std::size_t i = m; i-- > 0;) {
    for (std::size_t j = n; j-- > 0;) {
      at(i, j) = from[i] == to[j] ? at(i + 1, j + 1) + 1 : std::max(at(i + 1, j), at(i, j + 1));
    }
  }

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
      edits.push_back(Edit{base + i, base + i, {}});
      open = true;
    }
    if (j == n || (i < m && at(i + 1, j) >= at(i, j + 1))) {
      ++i;
      edits.back().end = base + i;
    } else {
      append_utf8(edits.back().replacement, to[j]);
      ++j;
    }
  }
}

// The edits of token_edits(pair), appended to `edits`.
void add_token_edits(const TokenPair& pair, std::vector<Edit>& edits) {
  const std::string_view from = pair.old_text;
  const std::string_view to = pair.new_text;
  const auto [prefix, suffix] = common_byte_ends(from, to);
  const std::string_view old_middle = from.substr(prefix, from.size() - prefix - suffix);
  const std::string_view new_middle = to.substr(prefix, to.size() - prefix - suffix);
  const std::size_t m = count_code_points(old_middle);
  const std::size_t n = count_code_points(new_middle);
  const std::size_t base = pair.old_start + count_code_points(from.substr(0, prefix));

  if (m == 0 && n == 0) return;
  if (m == 0 || n == 0 || (m + 1) * (n + 1) > kMaxEditCells) {
    edits.push_back(Edit{base, base + m, std::string(new_middle)});
    return;
  }
  add_subsequence_edits(decode(old_middle), decode(new_middle), base, edits);
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

// Walks both texts token by token from token starts that pair up, handing
// each pair of differing tokens to `pair` (old token, its first character,
// new token); what the texts share is passed over whole, back to the start of
// the token it ends in. False when the texts differ in shape (token kinds or
// white space), perhaps after some pairs were handed on.
template <typename OnPair>
bool walk_token_pairs(std::string_view old_text, std::string_view new_text, OnPair pair) {
  std::size_t old_byte = 0, new_byte = 0, start = 0;
  TokenSpan from, to;
  while (true) {
    std::size_t differ =
        old_byte + shared_prefix(old_text.substr(old_byte), new_text.substr(new_byte));
    if (differ == old_text.size() && differ - old_byte == new_text.size() - new_byte) return true;
    while (differ > old_byte && differ < old_text.size() && is_continuation(old_text[differ])) {
      --differ;
    }
    const std::size_t token = token_start_before(old_text, old_byte, differ);
    start += count_code_points(old_text.substr(old_byte, token - old_byte));
    new_byte += token - old_byte;
    old_byte = token;

    const bool more = next_token(old_text, old_byte, from);
    if (more != next_token(new_text, new_byte, to)) return false;
    if (!more) return true;
    if (from.space != to.space) return false;
    const std::string_view old_token = old_text.substr(from.begin, from.end - from.begin);
    const std::string_view new_token = new_text.substr(to.begin, to.end - to.begin);
    if (old_token != new_token) {
      if (from.space) return false;
      pair(old_token, start, new_token);
    }
    start += from.characters;
  }
}

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
  std::vector<TokenPair> pairs;
  const bool same_shape = walk_token_pairs(
      old_text, new_text, [&](std::string_view from, std::size_t start, std::string_view to) {
        pairs.push_back(TokenPair{std::string(from), start, std::string(to)});
      });
  if (same_shape) return pairs;
  return {TokenPair{std::string(old_text), 0, std::string(new_text)}};
}

std::size_t count_token_pairs(std::string_view old_text, std::string_view new_text) {
  if (old_text == new_text) return 0;
  std::size_t count = 0;
  const bool same_shape = walk_token_pairs(
      old_text, new_text, [&](std::string_view, std::size_t, std::string_view) { ++count; });
  return same_shape ? count : 1;
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
  std::vector<Edit> edits;
  add_token_edits(pair, edits);
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
  edits.reserve(pairs.size());
  for (const TokenPair& pair : pairs) add_token_edits(pair, edits);
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
