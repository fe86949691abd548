#include "tsf/keymap.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "core/unicode.h"
#include "tsf/lines.h"

namespace vexo::tsf {
namespace {

constexpr std::array<KeyPosition, 47> kKeyPositions = {{
    {'`', 0x29},
    {'1', 0x02}, {'2', 0x03}, {'3', 0x04}, {'4', 0x05}, {'5', 0x06}, {'6', 0x07},
    {'7', 0x08}, {'8', 0x09}, {'9', 0x0A}, {'0', 0x0B}, {'-', 0x0C}, {'=', 0x0D},
    {'q', 0x10}, {'w', 0x11}, {'e', 0x12}, {'r', 0x13}, {'t', 0x14}, {'y', 0x15},
    {'u', 0x16}, {'i', 0x17}, {'o', 0x18}, {'p', 0x19}, {'[', 0x1A}, {']', 0x1B},
    {'\\', 0x2B},
    {'a', 0x1E}, {'s', 0x1F}, {'d', 0x20}, {'f', 0x21}, {'g', 0x22}, {'h', 0x23},
    {'j', 0x24}, {'k', 0x25}, {'l', 0x26}, {';', 0x27}, {'\'', 0x28},
    {'z', 0x2C}, {'x', 0x2D}, {'c', 0x2E}, {'v', 0x2F}, {'b', 0x30}, {'n', 0x31},
    {'m', 0x32}, {',', 0x33}, {'.', 0x34}, {'/', 0x35},
}};

bool is_hex_digit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

unsigned hex_value(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  return static_cast<unsigned>((c | 0x20) - 'a' + 10);
}

// `U+` or `u+`, one optional further `+`, then hexadecimal digits.
std::optional<char32_t> parse_code_point(std::string_view token) {
  if (token.size() < 3 || (token[0] != 'U' && token[0] != 'u') || token[1] != '+') {
    return std::nullopt;
  }
  std::string_view digits = token.substr(2);
  if (digits.starts_with('+')) digits.remove_prefix(1);
  if (digits.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : digits) {
    if (!is_hex_digit(c)) return std::nullopt;
    value = value * 16 + hex_value(c);
    if (value > 0xFFFFFFFFu) return std::nullopt;
  }
  if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return std::nullopt;
  return static_cast<char32_t>(value);
}

// A built-in layout row: the key and its cells normal, Shift, AltGr,
// AltGr+Shift, written as keymap.txt cell tokens.
struct LayoutRow {
  std::string_view key;
  std::array<std::string_view, 4> cells;
};

// A built-in layout that is wrong is a defect of this program, not of any
// input; it ends the process.
[[noreturn]] void preset_defect(const char* what) {
  std::fputs(what, stderr);
  std::fputc('\n', stderr);
  std::abort();
}

std::uint8_t preset_scan_code(std::string_view key) {
  const auto scan = scan_code_of(key);
  if (!scan) preset_defect("preset key");
  return *scan;
}

std::optional<char32_t> preset_cell(std::string_view token) {
  std::optional<char32_t> cell;
  if (!parse_cell(token, cell)) preset_defect("preset cell");
  return cell;
}

void apply_rows(std::span<const LayoutRow> rows, KeyMap& map) {
  for (const LayoutRow& row : rows) {
    const std::uint8_t scan = preset_scan_code(row.key);
    for (std::size_t i = 0; i < row.cells.size(); ++i) {
      map.set(scan, static_cast<Cell>(i), preset_cell(row.cells[i]));
    }
  }
}

constexpr LayoutRow kTilmoch[] = {
    {"`", {"U+02BC", "\"", "U+2018", "`"}},
    {"3", {"-", "-", "-", "U+2116"}},
    {"9", {"-", "-", "U+2018", "-"}},
    {"0", {"-", "-", "U+2019", "-"}},
    {"-", {"-", "-", "U+2013", "U+2014"}},
    {"[", {"ö", "Ö", "[", "{"}},
    {"]", {"ğ", "Ğ", "]", "}"}},
    {"\\", {";", ":", "\\", "|"}},
    {";", {"ş", "Ş", ";", ":"}},
    {"'", {"ç", "Ç", "'", "\""}},
    {",", {",", "U+201C", "<", "U+00AB"}},
    {".", {".", "U+201D", ">", "U+00BB"}},
};

constexpr LayoutRow kKiritish[] = {
    {"`", {"U+02BC", "\"", "`", "~"}},
    {"-", {"-", "-", "U+2014", "U+2013"}},
    {"[", {"ö", "Ö", "[", "{"}},
    {"]", {"ğ", "Ğ", "]", "}"}},
    {"\\", {";", ":", "\\", "|"}},
    {";", {"ş", "Ş", ";", ":"}},
    {"'", {"ç", "Ç", "'", "\""}},
    {"k", {"-", "-", "U+201C", "U+2018"}},
    {"l", {"-", "-", "U+201D", "U+2019"}},
};

constexpr LayoutRow kTezyechim[] = {
    {"[", {"ç", "Ç", "[", "{"}},
    {"]", {"ö", "Ö", "]", "}"}},
    {"-", {"ğ", "Ğ", "U+002D", "_"}},
    {"=", {"ş", "Ş", "=", "+"}},
    {"'", {"-", "-", "U+02BC", "\""}},
};

constexpr LayoutRow kTurkish[] = {
    {"i", {"U+0131", "I", "-", "-"}},
    {"[", {"ğ", "Ğ", "[", "{"}},
    {"]", {"ü", "Ü", "]", "}"}},
    {";", {"ş", "Ş", ";", ":"}},
    {"'", {"i", "U+0130", "'", "\""}},
    {",", {"ö", "Ö", "<", "-"}},
    {".", {"ç", "Ç", ">", "-"}},
    {"/", {".", ":", "/", "?"}},
    {"\\", {",", ";", "\\", "|"}},
};

constexpr LayoutRow kAltGr[] = {
    {"o", {"-", "-", "ö", "Ö"}},
    {"g", {"-", "-", "ğ", "Ğ"}},
    {"s", {"-", "-", "ş", "Ş"}},
    {"c", {"-", "-", "ç", "Ç"}},
    {"'", {"-", "-", "U+02BC", "\""}},
    {"-", {"-", "-", "U+2013", "U+2014"}},
    {",", {"-", "-", "U+00AB", "U+201C"}},
    {".", {"-", "-", "U+00BB", "U+201D"}},
};

// The Uzbek Cyrillic keyboard: the lowercase letter of each key. Shift cells
// are the letters' uppercase forms.
constexpr std::array<std::array<std::string_view, 2>, 35> kKirillLetters = {{
    {"`", "ё"}, {"-", "ғ"}, {"=", "ҳ"}, {"q", "й"}, {"w", "ц"},
    {"e", "у"}, {"r", "к"}, {"t", "е"}, {"y", "н"}, {"u", "г"},
    {"i", "ш"}, {"o", "ў"}, {"p", "з"}, {"[", "х"}, {"]", "ъ"},
    {"a", "ф"}, {"s", "қ"}, {"d", "в"}, {"f", "а"}, {"g", "п"},
    {"h", "р"}, {"j", "о"}, {"k", "л"}, {"l", "д"}, {";", "ж"},
    {"'", "э"}, {"z", "я"}, {"x", "ч"}, {"c", "с"}, {"v", "м"},
    {"b", "и"}, {"n", "т"}, {"m", "ь"}, {",", "б"}, {".", "ю"},
}};

constexpr LayoutRow kKirillExtra[] = {
    {"2", {"-", "\"", "-", "-"}},
    {"3", {"-", "U+2116", "-", "-"}},
    {"4", {"-", ";", "-", "-"}},
    {"6", {"-", ":", "-", "-"}},
    {"7", {"-", "?", "-", "-"}},
    {"/", {".", ",", "/", "?"}},
    {"`", {"ё", "Ё", "`", "~"}},
    {"-", {"ғ", "Ғ", "-", "_"}},
    {"=", {"ҳ", "Ҳ", "=", "+"}},
    {"[", {"х", "Х", "[", "{"}},
    {"]", {"ъ", "Ъ", "]", "}"}},
    {";", {"ж", "Ж", ";", ":"}},
    {"'", {"э", "Э", "'", "\""}},
    {",", {"б", "Б", ",", "<"}},
    {".", {"ю", "Ю", ".", ">"}},
};

KeyMap kirill_keymap() {
  KeyMap map;
  for (const auto& [key, letter] : kKirillLetters) {
    const std::uint8_t scan = preset_scan_code(key);
    const auto lower = preset_cell(letter);
    if (!lower) preset_defect("preset cell");
    const std::string upper = to_upper(letter);
    std::size_t i = 0;
    map.set(scan, Cell::Normal, lower);
    map.set(scan, Cell::Shift, next_code_point(upper, i));
  }
  apply_rows(kKirillExtra, map);
  return map;
}

bool is_lowercase_letter(char32_t c) { return is_ascii_lower(c) || (c >= 0xAA && is_lowercase(c)); }
bool is_uppercase_letter(char32_t c) { return is_ascii_upper(c) || (c >= 0xC0 && is_uppercase(c)); }

}  // namespace

std::optional<char32_t> KeyMap::get(std::uint8_t scan, Cell cell) const {
  if (scan >= kScanCodeCount) return std::nullopt;
  const char32_t c = cells_[scan][static_cast<std::size_t>(cell)];
  if (c == 0) return std::nullopt;
  return c;
}

void KeyMap::set(std::uint8_t scan, Cell cell, std::optional<char32_t> c) {
  if (scan >= kScanCodeCount) return;
  cells_[scan][static_cast<std::size_t>(cell)] = (c && !is_control_character(*c)) ? *c : 0;
}

std::span<const KeyPosition> key_positions() { return kKeyPositions; }

std::optional<std::uint8_t> scan_code_of(std::string_view name) {
  if (name.size() != 1) return std::nullopt;
  for (const KeyPosition& p : kKeyPositions) {
    if (p.name == name[0]) return p.scan;
  }
  return std::nullopt;
}

bool is_builtin_layout(std::string_view name) {
  return name == "tilmoch" || name == "kiritish" || name == "tezyechim" || name == "turkish" ||
         name == "altgr" || name == "kirill";
}

KeyMap builtin_keymap(std::string_view name) {
  if (name == "kirill") return kirill_keymap();
  std::span<const LayoutRow> rows = kTilmoch;
  if (name == "kiritish") rows = kKiritish;
  if (name == "tezyechim") rows = kTezyechim;
  if (name == "turkish") rows = kTurkish;
  if (name == "altgr") rows = kAltGr;
  KeyMap map;
  apply_rows(rows, map);
  return map;
}

bool parse_cell(std::string_view token, std::optional<char32_t>& cell) {
  if (token == "-") {
    cell.reset();
    return true;
  }
  char32_t c = 0;
  if (count_code_points(token) == 1) {
    std::size_t i = 0;
    c = next_code_point(token, i);
  } else if (const auto code = parse_code_point(token)) {
    c = *code;
  } else {
    return false;
  }
  if (is_control_character(c)) return false;
  cell = c;
  return true;
}

void parse_keymap(std::string_view text, KeyMap& map) {
  if (!is_valid_utf8(text)) return;
  for (const std::string_view raw : split_lines(text)) {
    const std::string_view line = trim(raw);
    if (line.empty() || line[0] == '#') continue;
    const std::vector<std::string_view> tokens = split_white_space(line);
    const auto scan = scan_code_of(tokens[0]);
    if (!scan) continue;
    const std::size_t cell_count = std::min<std::size_t>(tokens.size() - 1, 4);
    std::array<std::optional<char32_t>, 4> cells;
    bool valid = true;
    for (std::size_t i = 0; i < cell_count && valid; ++i) valid = parse_cell(tokens[i + 1], cells[i]);
    if (!valid) continue;
    for (std::size_t i = 0; i < cell_count; ++i) map.set(*scan, static_cast<Cell>(i), cells[i]);
  }
}

std::optional<char32_t> keymap_lookup(const KeyMap& map, unsigned scan, bool shift,
                                      bool caps_lock, bool altgr) {
  if (scan >= kScanCodeCount) return std::nullopt;
  const auto code = static_cast<std::uint8_t>(scan);
  const auto normal = map.get(code, altgr ? Cell::AltGr : Cell::Normal);
  const auto shifted = map.get(code, altgr ? Cell::AltGrShift : Cell::Shift);
  const bool letter_pair =
      normal && shifted && is_lowercase_letter(*normal) && is_uppercase_letter(*shifted);
  const bool take_shifted = letter_pair ? (shift != caps_lock) : shift;
  return take_shifted ? shifted : normal;
}

}  // namespace vexo::tsf
