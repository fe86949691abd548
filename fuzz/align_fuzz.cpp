// Fuzzes the laying of a converted paragraph over its formatted pieces. The
// input is the old paragraph's pieces (cut at 0x01 bytes; a piece "\t" or "\n"
// after a 0x02 byte is a placeholder), then 0x00 and the new paragraph text.
// When the new text keeps the old one's white space (and so its placeholders),
// the returned pieces joined must give the new text without its placeholders.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/align.h"
#include "core/unicode.h"
#include "fuzz/fuzz_input.h"

namespace {

using vexo::fuzz::check;

std::vector<vexo::cli::Piece> pieces_of(std::string_view encoded) {
  std::vector<vexo::cli::Piece> pieces;
  while (true) {
    const std::size_t end = std::min(encoded.find('\x01'), encoded.size());
    std::string_view piece = encoded.substr(0, end);
    if (piece.size() == 2 && piece[0] == '\x02' && (piece[1] == '\t' || piece[1] == '\n')) {
      pieces.push_back({std::string(1, piece[1]), true});
    } else {
      pieces.push_back({std::string(piece), false});
    }
    if (end == encoded.size()) break;
    encoded.remove_prefix(end + 1);
  }
  return pieces;
}

// True when both texts cut into the same white-space and word tokens with
// identical white space: then every placeholder stays where it was.
bool same_shape(std::string_view old_text, std::string_view new_text) {
  const std::vector<vexo::cli::Token> a = vexo::cli::split_tokens(old_text);
  const std::vector<vexo::cli::Token> b = vexo::cli::split_tokens(new_text);
  if (a.size() != b.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k) {
    if (a[k].space != b[k].space || (a[k].space && a[k].text != b[k].text)) return false;
  }
  return true;
}

std::string without_placeholders(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c != '\t' && c != '\n') out += c;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = input.find('\0');
  if (cut == std::string_view::npos) return 0;
  const std::vector<vexo::cli::Piece> pieces = pieces_of(input.substr(0, cut));
  const std::string_view new_text = input.substr(cut + 1);
  if (!vexo::is_valid_utf8(new_text)) return 0;

  std::string old_text;
  bool has_text_char = false;
  for (const vexo::cli::Piece& piece : pieces) {
    if (!vexo::is_valid_utf8(piece.text)) return 0;
    if (!piece.placeholder && piece.text.find_first_of("\t\n") != std::string::npos) return 0;
    old_text += piece.text;
    has_text_char = has_text_char || (!piece.placeholder && !piece.text.empty());
  }

  check(vexo::cli::count_token_pairs(old_text, new_text) ==
            vexo::cli::token_pairs(old_text, new_text).size(),
        "token pairs counted as made");
  const std::vector<std::string> texts = vexo::cli::distribute_runs(pieces, old_text, new_text);
  check(texts.size() == pieces.size(), "one text per piece");
  std::string joined;
  for (std::size_t k = 0; k < texts.size(); ++k) {
    check(vexo::is_valid_utf8(texts[k]), "piece text is valid UTF-8");
    if (pieces[k].placeholder) check(texts[k].empty(), "placeholders get no text");
    joined += texts[k];
  }

  if (has_text_char && same_shape(old_text, new_text)) {
    check(joined == without_placeholders(new_text), "pieces joined give the new text");
  }
  return 0;
}
