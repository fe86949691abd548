// The floor the converter is measured against: the letter rules alone
// (o' g' -> ö ğ, sh ch -> ş ç, other apostrophes -> ʼ) applied byte by byte
// from standard input to standard output, with no decision about any word.
// Used by tools/bench.sh; not part of any deliverable.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr std::size_t kChunk = 1 << 20;

// Length of the apostrophe at text[i] (ASCII ' ` or U+2018, U+2019, U+02BB,
// U+02BC), or 0.
std::size_t apostrophe_at(std::string_view text, std::size_t i) {
  if (i >= text.size()) return 0;
  const auto b = static_cast<unsigned char>(text[i]);
  if (b == '\'' || b == '`') return 1;
  if (i + 1 < text.size() && b == 0xCA) {
    const auto n = static_cast<unsigned char>(text[i + 1]);
    return n == 0xBB || n == 0xBC ? 2 : 0;
  }
  if (i + 2 < text.size() && b == 0xE2 && static_cast<unsigned char>(text[i + 1]) == 0x80) {
    const auto n = static_cast<unsigned char>(text[i + 2]);
    return n == 0x98 || n == 0x99 ? 3 : 0;
  }
  return 0;
}

void convert(std::string_view in, std::string& out) {
  for (std::size_t i = 0; i < in.size();) {
    const char c = in[i];
    const std::size_t mark = apostrophe_at(in, i + 1);
    if ((c == 'o' || c == 'O' || c == 'g' || c == 'G') && mark != 0) {
      out += c == 'o' ? "\u00f6" : c == 'O' ? "\u00d6" : c == 'g' ? "\u011f" : "\u011e";
      i += 1 + mark;
    } else if ((c == 's' || c == 'S' || c == 'c' || c == 'C') && i + 1 < in.size() &&
               (in[i + 1] == 'h' || in[i + 1] == 'H')) {
      out += c == 's' ? "\u015f" : c == 'S' ? "\u015e" : c == 'c' ? "\u00e7" : "\u00c7";
      i += 2;
    } else if (const std::size_t alone = apostrophe_at(in, i); alone != 0) {
      out += "\u02bc";
      i += alone;
    } else {
      out.push_back(c);
      ++i;
    }
  }
}

}  // namespace

int main() {
  std::string pending;
  std::string out;
  std::string chunk(kChunk, '\0');
  while (true) {
    const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), stdin);
    pending.append(chunk.data(), got);
    // Convert up to the last line break; the rest waits for more input.
    const std::size_t cut = got == 0 ? pending.size() : pending.rfind('\n') + 1;
    out.clear();
    convert(std::string_view(pending).substr(0, cut), out);
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size()) return 1;
    pending.erase(0, cut);
    if (got == 0) break;
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
