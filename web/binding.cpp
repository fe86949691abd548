// The page's view of vexo: the text conversions, the per-word decisions and
// the file conversion of `vexo file`, exported to JavaScript with embind.
// Texts arrive as JavaScript strings (UTF-8 in memory) and files as
// Uint8Array; every function returns plain values or objects.
#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <string>
#include <string_view>
#include <vector>

#include "cli/file.h"
#include "core/lib.h"
#include "core/reverse.h"
#include "core/to_cyr.h"
#include "core/unicode.h"

namespace vexo::web {
namespace {

using emscripten::val;

constexpr std::string_view kNotUtf8 = "matn UTF-8 emas";

ConvertOptions options_with_guard(bool guard) {
  ConvertOptions options;
  options.guard = guard;
  return options;
}

// Every text function answers {text} or {error}; the page shows the error.
val text_result(std::string text) {
  val result = val::object();
  result.set("text", std::move(text));
  return result;
}

val error_result(std::string_view message) {
  val result = val::object();
  result.set("error", std::string(message));
  return result;
}

val convert_text(const std::string& text, bool guard) {
  if (!is_valid_utf8(text)) return error_result(kNotUtf8);
  return text_result(convert(text, options_with_guard(guard)));
}

val convert_to_old(const std::string& text, bool ascii) {
  if (!is_valid_utf8(text)) return error_result(kNotUtf8);
  return text_result(to_old(text, ascii));
}

val convert_to_cyrillic(const std::string& text) {
  if (!is_valid_utf8(text)) return error_result(kNotUtf8);
  return text_result(to_cyrillic(text));
}

// The converted text and, for every word, its decision, score and the output
// before it (`tail` ends the output). Conversion copies the separators between words unchanged
// (white space, dashes, the ellipsis, which never occur inside a word), so a
// converted word is the output up to the copy of the separator after it.
val explain(const std::string& input, bool guard) {
  if (!is_valid_utf8(input)) return error_result(kNotUtf8);
  std::string buffer;
  const std::string_view text = normalize_marks(input, buffer);
  const Conversion conversion = convert_detailed(text, options_with_guard(guard), false);
  const std::string_view out = conversion.text;

  std::vector<std::size_t> starts;
  std::size_t in_at = 0;
  for (const WordReport& report : conversion.words) {
    const std::size_t start = text.find(report.word, in_at);
    if (start == std::string_view::npos) break;
    starts.push_back(start);
    in_at = start + report.word.size();
  }
  val words = val::array();
  std::size_t out_at = starts.empty() ? 0 : starts.front();
  std::size_t copied = 0;  // output up to here is in `words`
  for (std::size_t i = 0; i < starts.size(); ++i) {
    const WordReport& report = conversion.words[i];
    const std::size_t end = starts[i] + report.word.size();
    const bool last = i + 1 == starts.size();
    const std::string_view separator =
        text.substr(end, last ? std::string_view::npos : starts[i + 1] - end);
    const std::size_t out_end = last                ? out.size() - separator.size()
                                : separator.empty() ? std::string_view::npos
                                                    : out.find(separator, out_at);
    if (out_end == std::string_view::npos || out_end < out_at) break;

    val word = val::object();
    word.set("word", report.word);
    word.set("converted", std::string(out.substr(out_at, out_end - out_at)));
    word.set("before", std::string(out.substr(copied, out_at - copied)));
    word.set("score", report.score);
    word.set("decision", static_cast<int>(report.decision));
    word.set("label", std::string(decision_label(report.decision)));
    words.call<void>("push", word);
    copied = out_end;
    out_at = out_end + separator.size();
  }
  val result = text_result(conversion.text);
  result.set("words", words);
  result.set("tail", std::string(out.substr(copied)));
  return result;
}

// A file's bytes converted as `vexo file` converts them, with the name the
// result is saved under and the number of changed words.
val convert_file(const std::string& name, const std::string& bytes, bool old_mode, bool ascii) {
  cli::TextSettings settings;
  settings.old_mode = old_mode;
  settings.ascii = ascii;
  const cli::FileResult converted = cli::convert_file_bytes(name, bytes, settings);
  if (!converted.ok()) return error_result(converted.error);
  val result = val::object();
  result.set("bytes", val(emscripten::typed_memory_view(converted.bytes.size(),
                                                         reinterpret_cast<const std::uint8_t*>(
                                                             converted.bytes.data())))
                          .call<val>("slice"));
  result.set("name", cli::default_output_path(name, old_mode));
  result.set("changes", static_cast<double>(converted.changes.size()));
  return result;
}

}  // namespace
}  // namespace vexo::web

EMSCRIPTEN_BINDINGS(vexo) {
  emscripten::function("convert", &vexo::web::convert_text);
  emscripten::function("toOld", &vexo::web::convert_to_old);
  emscripten::function("toCyrillic", &vexo::web::convert_to_cyrillic);
  emscripten::function("explain", &vexo::web::explain);
  emscripten::function("convertFile", &vexo::web::convert_file);
}
