// The report commands explain, diff and eval: they take their text or file,
// build the report and write it to standard output.
#include "cli/app.h"
#include "cli/changes.h"
#include "cli/platform.h"
#include "cli/report.h"
#include "core/reverse.h"
#include "core/unicode.h"

namespace vexo::cli {
namespace {

// Writes a finished report; failures to write are reported as for every
// other command.
int print(const std::string& text, int status) {
  const int written = write_result(text);
  return written != 0 ? written : status;
}

}  // namespace

int run_explain(std::span<const std::string> args, const CliOptions& options) {
  const std::optional<std::string> text = take_text(args);
  if (!text) return 1;
  return print(explain_report(*text, options.convert), 0);
}

int run_diff(std::span<const std::string> args, const CliOptions& options) {
  bool old_mode = false;
  std::vector<std::string> words;
  for (const std::string& arg : args) {
    if (arg == "--old") {
      old_mode = true;
    } else {
      words.push_back(arg);
    }
  }
  const std::optional<std::string> text = take_text(words);
  if (!text) return 1;
  const std::string converted =
      old_mode ? to_old(*text, options.ascii) : convert(*text, options.convert);
  const std::vector<Change> changes = collect_changes(*text, converted);
  return print(list_changes(changes, ListingMode::EachChange, ""), 0);
}

int run_eval(std::span<const std::string> args, const CliOptions& options) {
  EvalPath eval_path = EvalPath::Text;
  if (!args.empty() && args.front() == "--typing") {
    eval_path = EvalPath::Typing;
    args = args.subspan(1);
  }
  if (args.empty()) {
    report_error("vexo eval [--typing] FAYL.tsv");
    return 1;
  }
  const std::string& path = args.front();
  std::string tests;
  std::string error;
  if (!platform::read_file(path, tests, error)) {
    report_error(path + ": " + error);
    return 1;
  }
  if (!is_valid_utf8(tests)) {
    report_error(path + ": UTF-8 emas");
    return 1;
  }
  const Evaluation evaluation = evaluate(tests, options.convert, eval_path);
  return print(evaluation.report, evaluation.all_correct ? 0 : 1);
}

}  // namespace vexo::cli
