// Conversion copies the separators between words unchanged (white space, en
// and em dashes, the ellipsis, none of which occurs inside a word), so a
// converted word is the output from its start up to the copy of the separator
// that follows it.
#include "cli/marked_words.h"

namespace vexo::cli {

MarkedText mark_words(std::string_view input, const ConvertOptions& options) {
  std::string buffer;
  const std::string_view text = normalize_marks(input, buffer);
  Conversion conversion = convert_detailed(text, options, false);
  const std::string_view out = conversion.text;

  // Where each reported word starts in the (normalised) input.
  std::vector<std::size_t> starts;
  std::size_t in_at = 0;
  for (const WordReport& report : conversion.words) {
    const std::size_t start = text.find(report.word, in_at);
    if (start == std::string_view::npos) break;
    starts.push_back(start);
    in_at = start + report.word.size();
  }

  MarkedText result;
  std::size_t out_at = starts.empty() ? 0 : starts.front();
  std::size_t copied = 0;  // the output up to here is in result.words
  for (std::size_t i = 0; i < starts.size(); ++i) {
    WordReport& report = conversion.words[i];
    const std::size_t end = starts[i] + report.word.size();
    const bool last = i + 1 == starts.size();
    const std::string_view separator =
        text.substr(end, last ? std::string_view::npos : starts[i + 1] - end);
    std::size_t out_end = std::string_view::npos;
    if (last) {
      if (out.size() >= out_at + separator.size() && out.ends_with(separator)) {
        out_end = out.size() - separator.size();
      }
    } else if (!separator.empty()) {
      out_end = out.find(separator, out_at);
    }
    // Words that cannot be placed stay in the unmarked tail.
    if (out_end == std::string_view::npos) break;

    result.words.push_back(MarkedWord{std::string(out.substr(copied, out_at - copied)),
                                      std::move(report.word),
                                      std::string(out.substr(out_at, out_end - out_at)),
                                      report.score, report.decision});
    copied = out_end;
    out_at = out_end + separator.size();
  }
  result.tail = out.substr(copied);
  result.text = std::move(conversion.text);
  return result;
}

}  // namespace vexo::cli
