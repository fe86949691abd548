// Structured references in formulas. See formula_names.h.
#include "cli/formula_names.h"

namespace vexo::cli {
namespace {

bool needs_escape(char c) { return c == '[' || c == ']' || c == '#' || c == '\''; }

std::string escaped(std::string_view name) {
  std::string out;
  for (const char c : name) {
    if (needs_escape(c)) out.push_back('\'');
    out.push_back(c);
  }
  return out;
}

// Copies a quoted stretch ("text" or 'Sheet name') starting at `at`, with its
// doubled quotes, and returns the position after it.
std::size_t copy_quoted(std::string_view formula, std::size_t at, std::string& out) {
  const char quote = formula[at];
  std::size_t i = at + 1;
  while (i < formula.size()) {
    if (formula[i] == quote) {
      if (i + 1 < formula.size() && formula[i + 1] == quote) {
        i += 2;
        continue;
      }
      ++i;
      break;
    }
    ++i;
  }
  out.append(formula.substr(at, i - at));
  return i;
}

}  // namespace

std::string rename_table_columns(std::string_view formula,
                                 const std::function<std::string(std::string_view)>& rename) {
  std::string out;
  out.reserve(formula.size());
  std::size_t i = 0;
  while (i < formula.size()) {
    const char c = formula[i];
    if (c == '"' || c == '\'') {
      i = copy_quoted(formula, i, out);
      continue;
    }
    // An item: "[", an optional "@", then a name up to the first unescaped
    // "]". A "[" right after "[" (or "@") opens a list of items instead.
    if (c != '[') {
      out.push_back(c);
      ++i;
      continue;
    }
    out.push_back(c);
    ++i;
    if (i < formula.size() && formula[i] == '@') out.push_back(formula[i++]);
    if (i >= formula.size() || formula[i] == '[' || formula[i] == '#') continue;
    std::string name;
    std::size_t end = i;
    while (end < formula.size() && formula[end] != ']') {
      if (formula[end] == '\'' && end + 1 < formula.size()) ++end;
      name.push_back(formula[end++]);
    }
    if (end >= formula.size()) {  // no closing bracket: not a reference
      out.append(formula.substr(i));
      break;
    }
    out += escaped(rename(name));
    i = end;
  }
  return out;
}

namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string decode_column_name(std::string_view name) {
  constexpr std::size_t kEscape = 7;  // _xHHHH_
  std::string out;
  out.reserve(name.size());
  for (std::size_t i = 0; i < name.size();) {
    if (i + kEscape <= name.size() && name[i] == '_' && name[i + 1] == 'x' &&
        name[i + 6] == '_') {
      int value = 0;
      bool hex = true;
      for (std::size_t k = 2; k < 6 && hex; ++k) {
        const int digit = hex_value(name[i + k]);
        hex = digit >= 0;
        value = value * 16 + digit;
      }
      if (hex && value < 0x80) {
        out.push_back(static_cast<char>(value));
        i += kEscape;
        continue;
      }
    }
    out.push_back(name[i++]);
  }
  return out;
}

std::string encode_column_name(std::string_view name) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    // Control characters, and an underscore that would read as an escape.
    const bool escape = c < 0x20 || (c == '_' && i + 1 < name.size() && name[i + 1] == 'x' &&
                                     decode_column_name(name.substr(i, 7)).size() == 1);
    if (!escape) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    out += "_x00";
    out.push_back(kDigits[c >> 4]);
    out.push_back(kDigits[c & 15]);
    out.push_back('_');
  }
  return out;
}

}  // namespace vexo::cli
