// Fuzzes the old-to-new conversion with arbitrary options on arbitrary valid
// UTF-8, checking what must hold for every text:
//  - the output is valid UTF-8;
//  - the separators between word spans are copied byte for byte, in order;
//  - the reported words are the spans of the normalised input, in order;
//  - a text with nothing convertible comes back unchanged;
//  - converting the output back to the old spelling works;
//  - converting the text in two pieces cut at a line break, with the
//    evidence carried, gives the same bytes, and evidence_after tells the
//    evidence the first piece hands on.
// The C interface's vexo_convert gets the raw bytes, valid or not.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/reverse.h"
#include "core/token.h"
#include "fuzz/fuzz_input.h"
#include "tsf/vexo.h"

namespace {

using vexo::fuzz::check;

void check_conversion(std::string_view input, const vexo::ConvertOptions& options,
                      bool two_readings) {
  const vexo::Conversion result = vexo::convert_detailed(input, options, two_readings);
  check(vexo::is_valid_utf8(result.text), "output is valid UTF-8");
  check(result.text == vexo::convert(input, options), "convert agrees with convert_detailed");

  std::string buffer;
  const std::string_view text = vexo::normalize_marks(input, buffer);
  check(vexo::is_valid_utf8(text), "normalised input is valid UTF-8");
  const std::vector<vexo::WordSpan> spans = vexo::split_spans(text);
  check(result.words.size() == spans.size(), "one report per word span");

  // Each separator must stand in the output after the words before it.
  std::size_t copied = 0;
  std::size_t out_pos = 0;
  for (std::size_t i = 0; i < spans.size(); ++i) {
    const std::string_view separator = text.substr(copied, spans[i].start - copied);
    const std::size_t found = i == 0 ? 0 : result.text.find(separator, out_pos);
    check(found != std::string::npos && result.text.compare(found, separator.size(), separator) == 0,
          "separator kept byte for byte");
    out_pos = found + separator.size();
    const std::string_view word = text.substr(spans[i].start, spans[i].end - spans[i].start);
    check(result.words[i].word == word, "reported word is the span of the input");
    copied = spans[i].end;
  }
  const std::string_view tail = text.substr(copied);
  check(result.text.size() >= out_pos + tail.size() &&
            result.text.compare(result.text.size() - tail.size(), tail.size(), tail) == 0,
        "text after the last word kept byte for byte");

  const std::string back = vexo::to_old(result.text, two_readings);
  check(vexo::is_valid_utf8(back), "to_old output is valid UTF-8");

  const std::size_t line_break = input.find('\n', input.size() / 2);
  if (line_break != std::string_view::npos) {
    const std::string_view first = input.substr(0, line_break + 1);
    vexo::TextEvidence evidence;
    const vexo::TextEvidence told = vexo::evidence_after(first, options, evidence);
    std::string pieces = vexo::convert(first, options, evidence);
    check(told.apostrophes == evidence.apostrophes, "evidence_after agrees with convert");
    pieces += vexo::convert(input.substr(line_break + 1), options, evidence);
    check(pieces == result.text, "pieces cut at a line break convert as the whole");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vexo::fuzz::InputReader reader(data, size);
  const std::uint8_t flags = reader.byte();
  const vexo::ConvertOptions options = vexo::fuzz::options_from(flags, reader.byte());
  const std::string input(reader.rest());

  // The C interface takes any bytes up to the first NUL.
  if (char* converted = vexo_convert(input.c_str(), flags)) {
    check(vexo::is_valid_utf8(converted), "vexo_convert output is valid UTF-8");
    vexo_free(converted);
  } else {
    check(!vexo::is_valid_utf8(input.c_str()), "vexo_convert refuses only invalid text");
  }

  if (!vexo::is_valid_utf8(input)) return 0;
  check_conversion(input, options, (flags & 16) != 0);

  const std::string plain = vexo::fuzz::without_convertible(input);
  check(vexo::convert(plain, options) == plain, "text with nothing convertible stays unchanged");
  return 0;
}
