// The pieces every command shares: global options, taking the text, writing
// the result and reporting failures.
#include "cli/app.h"
#include "cli/platform.h"
#include "core/unicode.h"

namespace vexo::cli {
namespace {

// A -j value: a whole number from 1 to kMaxJobs.
bool parse_jobs(std::string_view text, unsigned& jobs) {
  constexpr unsigned kMaxJobs = 256;
  if (text.empty() || text.size() > 3) return false;
  unsigned value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value == 0 || value > kMaxJobs) return false;
  jobs = value;
  return true;
}

}  // namespace

int write_output(std::string_view text) {
  const platform::WriteStatus status = platform::write_standard_output(text);
  if (status != platform::WriteStatus::Failed) return 0;
  report_error("natijani chiqishga yozib bo'lmadi");
  return 1;
}

CliOptions take_global_options(std::vector<std::string>& args) {
  CliOptions options;
  std::vector<std::string> rest;
  rest.reserve(args.size());
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string& arg = args[i];
    if ((arg == "-j" && i + 1 < args.size() && parse_jobs(args[i + 1], options.jobs)) ||
        (arg.starts_with("-j") && parse_jobs(std::string_view(arg).substr(2), options.jobs))) {
      i += arg == "-j" ? 1 : 0;
    } else if (arg == "--no-guard") {
      options.convert.guard = false;
    } else if (arg == "--no-cyrillic") {
      options.convert.cyrillic = false;
    } else if (arg == "--ascii") {
      options.ascii = true;
    } else if (arg.starts_with("--tutuq=")) {
      const std::string_view value = std::string_view(arg).substr(8);
      if (!value.empty() && is_valid_utf8(value)) {
        std::size_t i = 0;
        options.convert.tutuq = next_code_point(value, i);
      }
    } else {
      rest.push_back(std::move(arg));
    }
  }
  args = std::move(rest);
  return options;
}

std::optional<std::string> take_text(std::span<const std::string> args) {
  if (!args.empty()) {
    std::string text;
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (i > 0) text.push_back(' ');
      text += args[i];
    }
    if (!is_valid_utf8(text)) {
      report_error("argument UTF-8 emas");
      return std::nullopt;
    }
    return text;
  }
  std::string input;
  if (!platform::read_standard_input(input)) {
    report_error("kirishni o'qib bo'lmadi");
    return std::nullopt;
  }
  if (!is_valid_utf8(input)) {
    report_error("kirish UTF-8 emas (matnni UTF-8 sifatida saqlang)");
    return std::nullopt;
  }
  return input;
}

int write_result(std::string_view result) {
  std::string out(result);
  if (!out.ends_with('\n')) out.push_back('\n');
  return write_output(out);
}

void report_error(std::string_view message) {
  std::string line(message);
  line.push_back('\n');
  platform::write_standard_error(line);
}

}  // namespace vexo::cli
