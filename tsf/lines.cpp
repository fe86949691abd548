#include "tsf/lines.h"

#include "core/unicode.h"

namespace vexo::tsf {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view strip_line(std::string_view line) {
  if (line.ends_with('\r')) line.remove_suffix(1);
  if (line.starts_with(kByteOrderMark)) line.remove_prefix(kByteOrderMark.size());
  return line;
}

}  // namespace

std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) {
      lines.push_back(strip_line(text));
      break;
    }
    lines.push_back(strip_line(text.substr(0, end)));
    text.remove_prefix(end + 1);
  }
  return lines;
}

std::string_view trim(std::string_view text) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t next = start;
    if (!is_white_space(next_code_point(text, next))) break;
    start = next;
  }
  std::size_t end = text.size();
  while (end > start) {
    std::size_t previous = end;
    if (!is_white_space(previous_code_point(text, previous))) break;
    end = previous;
  }
  return text.substr(start, end - start);
}

std::vector<std::string_view> split_white_space(std::string_view text) {
  std::vector<std::string_view> pieces;
  std::size_t piece_start = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t here = i;
    if (is_white_space(next_code_point(text, i))) {
      if (here > piece_start) pieces.push_back(text.substr(piece_start, here - piece_start));
      piece_start = i;
    }
  }
  if (text.size() > piece_start) pieces.push_back(text.substr(piece_start));
  return pieces;
}

}  // namespace vexo::tsf
