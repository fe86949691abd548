// The page's view of vexo: the text conversions, the per-word decisions and
// the file conversion of `vexo file`, exported to JavaScript with embind.
// Texts arrive as JavaScript strings (UTF-8 in memory) and files as
// Uint8Array; every function returns plain values or objects.
#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <string>
#include <string_view>

#include "cli/file.h"
#include "cli/marked_words.h"
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
// before it; `tail` ends the output.
val explain(const std::string& input, bool guard) {
  if (!is_valid_utf8(input)) return error_result(kNotUtf8);
  cli::MarkedText marked = cli::mark_words(input, options_with_guard(guard));
  val words = val::array();
  for (cli::MarkedWord& w : marked.words) {
    val word = val::object();
    word.set("before", std::move(w.before));
    word.set("word", std::move(w.word));
    word.set("converted", std::move(w.converted));
    word.set("score", w.score);
    word.set("label", std::string(decision_label(w.decision)));
    words.call<void>("push", word);
  }
  val result = text_result(std::move(marked.text));
  result.set("words", words);
  result.set("tail", std::move(marked.tail));
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
