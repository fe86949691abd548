// The report commands' output, built as text so that the commands only read
// their input and write the result: the per-word decisions of `explain` and
// the quality measurement of `eval`.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/lib.h"

namespace vexo::cli {

// One line per word ("{word padded to 24} {score:6.2f}  {label}", with
// "  (ikki ma'noli: {other})" for a word with two readings), an empty line,
// and the converted text with a final line feed.
std::string explain_report(std::string_view text, const ConvertOptions& options);

struct Evaluation {
  std::string report;  // mismatches, per-language success rates and the speed
  bool all_correct = true;
};

// How eval converts a line: whole, or word by word through a typing session
// (each run of non-blank characters one finished word) as the text service
// converts while the writer types. The lines of one label are typed in turn
// in one session, as paragraphs by one writer.
enum class EvalPath : std::uint8_t { Text, Typing };

// Runs the test lines of a tab-separated file (label, input, optional
// expected output; "#" comments and blank lines skipped) through `convert`
// or the typing session and reports the results. Only the conversions and
// tallying are timed.
Evaluation evaluate(std::string_view tests, const ConvertOptions& options,
                    EvalPath path = EvalPath::Text);

}  // namespace vexo::cli
