// The texts of the explain and eval reports.
#include "cli/report.h"

#include <cmath>
#include <cstdio>
#include <map>

#include "cli/platform.h"
#include "core/lexicon.h"
#include "core/session.h"
#include "core/unicode.h"

namespace vexo::cli {
namespace {

// A number with two decimals, right-aligned in `width` characters; a value
// that rounds to zero is written without a minus sign.
std::string fixed2(double value, int width) {
  if (std::fabs(value) < 0.005) value = 0.0;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%*.2f", width, value);
  return buffer;
}

// Pads a text on the right with spaces to `width` characters; longer texts
// are kept whole.
std::string padded(std::string_view text, std::size_t width) {
  std::string out(text);
  const std::size_t length = count_code_points(text);
  if (length < width) out.append(width - length, ' ');
  return out;
}

std::string right_aligned(std::string text, std::size_t width) {
  if (text.size() < width) text.insert(0, width - text.size(), ' ');
  return text;
}

std::size_t count_words(std::string_view text) {
  std::size_t words = 0;
  bool in_word = false;
  std::size_t i = 0;
  while (i < text.size()) {
    const bool space = is_white_space(next_code_point(text, i));
    if (!space && !in_word) ++words;
    in_word = !space;
  }
  return words;
}

bool is_blank(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size()) {
    if (!is_white_space(next_code_point(line, i))) return false;
  }
  return true;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find(separator, start);
    if (end == std::string_view::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

struct Tally {
  std::uint64_t correct = 0;
  std::uint64_t total = 0;
};

std::string language_line(std::string_view label, const Tally& tally) {
  std::string line = padded(label, 8);
  line.push_back(' ');
  line += right_aligned(std::to_string(tally.correct), 5);
  line.push_back('/');
  line += padded(std::to_string(tally.total), 5);
  line.push_back(' ');
  line += fixed2(static_cast<double>(tally.correct) * 100.0 / static_cast<double>(tally.total), 6);
  line += "%\n";
  return line;
}

// Types a line word by word through a typing session, as the text service
// does: each run of non-blank characters is one finished word, and the
// blanks between words are kept. The line is a paragraph of its own.
std::string type_line(std::string_view line, const ConvertOptions& options, TypingSession& session) {
  session.reset();
  std::string out;
  std::size_t i = 0;
  while (i < line.size()) {
    const std::size_t start = i;
    const bool blank = line[i] == ' ' || line[i] == '\t';
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t') == blank) ++i;
    const std::string_view piece = line.substr(start, i - start);
    const auto replacement = blank ? std::nullopt : session.complete_word(piece, options);
    out += replacement ? std::string_view(replacement->word) : piece;
  }
  return out;
}

}  // namespace

std::string explain_report(std::string_view text, const ConvertOptions& options) {
  const Conversion conversion = convert_detailed(text, options, true);
  std::string out;
  for (const WordReport& report : conversion.words) {
    out += padded(report.word, 24);
    out.push_back(' ');
    out += fixed2(report.score, 6);
    out += "  ";
    out += decision_label(report.decision);
    if (report.alternative) out += "  (ikki ma'noli: " + *report.alternative + ")";
    out.push_back('\n');
  }
  out.push_back('\n');
  out += conversion.text;
  out.push_back('\n');
  return out;
}

Evaluation evaluate(std::string_view tests, const ConvertOptions& options, EvalPath path) {
  Evaluation evaluation;
  std::map<std::string, Tally> tallies;
  std::map<std::string, TypingSession> sessions;  // one writer per label
  std::vector<std::string> mismatches;
  std::uint64_t words = 0;

  warm_up();  // build the word lists first, so that only conversions are timed
  const std::uint64_t started = platform::monotonic_nanoseconds();
  std::size_t number = 0;
  for (std::string_view line : split(tests, '\n')) {
    ++number;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (is_blank(line) || line.starts_with('#')) continue;
    const std::vector<std::string_view> fields = split(line, '\t');
    if (fields.size() < 2) continue;
    const std::string_view label = fields[0];
    const std::string_view input = fields[1];
    const std::string_view expected = fields.size() > 2 && !fields[2].empty() ? fields[2] : input;

    words += count_words(input);
    const std::string output = path == EvalPath::Typing
                                   ? type_line(input, options, sessions[std::string(label)])
                                   : convert(input, options);
    Tally& tally = tallies[std::string(label)];
    ++tally.total;
    if (output == expected) {
      ++tally.correct;
      continue;
    }
    evaluation.all_correct = false;
    std::string mismatch = std::to_string(number);
    mismatch.append(":").append(label).append("  ").append(input);
    mismatch.append("\n    kutilgan: ").append(expected);
    mismatch.append("\n    chiqdi:   ").append(output);
    mismatches.push_back(std::move(mismatch));
  }
  const std::uint64_t elapsed = platform::monotonic_nanoseconds() - started;

  std::string& out = evaluation.report;
  for (const std::string& mismatch : mismatches) out.append(mismatch).push_back('\n');
  out.push_back('\n');
  for (const auto& [label, tally] : tallies) out += language_line(label, tally);
  const double microseconds = static_cast<double>(elapsed) / 1000.0;
  out += "tezlik: " + fixed2(microseconds / static_cast<double>(words == 0 ? 1 : words), 0);
  out += " \u00b5s/so'z (" + std::to_string(words) + " so'z)\n";
  return evaluation;
}

}  // namespace vexo::cli
