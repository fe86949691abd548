// The key map: characters that keys produce instead of the keyboard layout's
// own, addressed by scan code, with six built-in layouts and a user-written
// `keymap.txt` ("custom").
//
// `keymap.txt` lines read `KEY NORMAL [SHIFT [ALTGR [ALTGR_SHIFT]]]`: KEY is
// the character a key bears on a US keyboard, and each cell is "-" (empty),
// one character, or `U+XXXX`. Control characters are refused, and a line with
// an unknown key or an invalid cell is skipped whole. Parsing never fails.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace vexo::tsf {

inline constexpr std::size_t kScanCodeCount = 96;

enum class Cell : std::uint8_t { Normal = 0, Shift = 1, AltGr = 2, AltGrShift = 3 };

// One character (or nothing) per scan code and cell. A cell never holds a
// control character (below U+0020, or U+007F to U+009F).
class KeyMap {
 public:
  std::optional<char32_t> get(std::uint8_t scan, Cell cell) const;
  // Stores `c` (nothing when it is zero or a control character).
  void set(std::uint8_t scan, Cell cell, std::optional<char32_t> c);

  friend bool operator==(const KeyMap&, const KeyMap&) = default;

 private:
  std::array<std::array<char32_t, 4>, kScanCodeCount> cells_{};  // 0 = nothing
};

// A key the key map can address: the character it bears on a US keyboard and
// its set-1 scan code.
struct KeyPosition {
  char name;
  std::uint8_t scan;
};

// The 47 addressable keys, from ` through the digits, the three letter rows
// and their punctuation.
std::span<const KeyPosition> key_positions();

// The scan code of a key named by its one US character; nothing otherwise.
std::optional<std::uint8_t> scan_code_of(std::string_view name);

inline constexpr std::string_view kCustomLayout = "custom";
inline constexpr std::string_view kDefaultLayout = "tilmoch";

// True for "tilmoch", "kiritish", "tezyechim", "turkish", "altgr", "kirill".
bool is_builtin_layout(std::string_view name);

// The table of a built-in layout; any other name gives the default layout.
KeyMap builtin_keymap(std::string_view name);

// Reads the lines of `keymap.txt` onto `map`. Text that is not valid UTF-8
// changes nothing.
void parse_keymap(std::string_view text, KeyMap& map);

// A cell token: "-" (nothing), one character, or `U+`/`u+` and hexadecimal
// digits naming a scalar value. False, leaving `cell` alone, when invalid.
bool parse_cell(std::string_view token, std::optional<char32_t>& cell);

// The character a key gives: the Shift or normal cell of the plain or AltGr
// layer. Caps Lock swaps the two only for a lowercase letter whose Shift cell
// is an uppercase letter. Scan codes above 95 give nothing.
std::optional<char32_t> keymap_lookup(const KeyMap& map, unsigned scan, bool shift,
                                      bool caps_lock, bool altgr);

}  // namespace vexo::tsf
