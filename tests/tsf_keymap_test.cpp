// Key positions, the built-in layouts, keymap.txt and the lookup rule.
#include <gtest/gtest.h>

#include <string>

#include "core/unicode.h"
#include "tests/garbage.h"
#include "tsf/keymap.h"
#include "tsf/lines.h"
#include "tsf/settings.h"

namespace vexo::tsf {
namespace {

std::optional<char32_t> cell(const KeyMap& map, char key, Cell c) {
  return map.get(*scan_code_of(std::string(1, key)), c);
}

// The four cells of a key as a UTF-8 text, "-" for an empty cell.
std::string cells(const KeyMap& map, char key) {
  std::string out;
  for (const Cell c : {Cell::Normal, Cell::Shift, Cell::AltGr, Cell::AltGrShift}) {
    const auto ch = cell(map, key, c);
    if (ch) {
      append_utf8(out, *ch);
    } else {
      out += '-';
    }
  }
  return out;
}

bool is_empty(const KeyMap& map) { return map == KeyMap(); }

TEST(KeyPositions, FortySevenKeysWithTheirScanCodes) {
  ASSERT_EQ(key_positions().size(), 47u);
  EXPECT_EQ(scan_code_of("`"), 0x29);
  EXPECT_EQ(scan_code_of("\\"), 0x2B);
  EXPECT_EQ(scan_code_of("/"), 0x35);
  for (const char* unknown : {"Q", "", "qq", " ", "~", "ö"}) {
    EXPECT_FALSE(scan_code_of(unknown).has_value()) << unknown;
  }
}

// Spot checks of each layout, one of them per cell, and the invariants the
// tables must keep: distinct layouts, no key outside the AltGr layer in
// "altgr", Kirill capitals on the Shift cells.
TEST(BuiltinLayouts, CellsAsTabled) {
  const KeyMap tilmoch = builtin_keymap("tilmoch");
  EXPECT_EQ(cells(tilmoch, '`'), "ʼ\"‘`");
  EXPECT_EQ(cells(tilmoch, '['), "öÖ[{");
  EXPECT_EQ(cells(tilmoch, 'o'), "----");
  EXPECT_EQ(builtin_keymap("no such layout"), tilmoch);
  EXPECT_EQ(cells(builtin_keymap("kiritish"), 'k'), "--“‘");
  EXPECT_EQ(cells(builtin_keymap("tezyechim"), '-'), "ğĞ-_");
  EXPECT_EQ(cells(builtin_keymap("turkish"), 'i'), "ıI--");
  EXPECT_EQ(cells(builtin_keymap("kirill"), '/'), ".,/?");

  const KeyMap altgr = builtin_keymap("altgr");
  EXPECT_EQ(cells(altgr, 'o'), "--öÖ");
  for (const KeyPosition& p : key_positions()) {
    EXPECT_FALSE(altgr.get(p.scan, Cell::Normal) || altgr.get(p.scan, Cell::Shift)) << p.name;
  }

  const char* names[] = {"tilmoch", "kiritish", "tezyechim", "turkish", "altgr", "kirill"};
  for (const char* a : names) {
    EXPECT_TRUE(is_builtin_layout(a));
    for (const char* b : names) {
      if (a != b) {
        EXPECT_NE(builtin_keymap(a), builtin_keymap(b)) << a << " " << b;
      }
    }
  }
}

TEST(BuiltinLayouts, KirillLettersAndTheirUppercase) {
  const KeyMap kirill = builtin_keymap("kirill");
  const std::string keys = "`-=qwertyuiop[]asdfghjkl;'zxcvbnm,.";
  const std::u32string lower = U"ёғҳйцукенгшўзхъфқвапролджэячсмитьбю";
  const std::u32string upper = U"ЁҒҲЙЦУКЕНГШЎЗХЪФҚВАПРОЛДЖЭЯЧСМИТЬБЮ";
  ASSERT_EQ(keys.size(), 35u);
  for (std::size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(cell(kirill, keys[i], Cell::Normal), lower[i]) << keys[i];
    EXPECT_EQ(cell(kirill, keys[i], Cell::Shift), upper[i]) << keys[i];
  }
  EXPECT_EQ(cells(kirill, '3'), "-№--");
  EXPECT_EQ(cells(kirill, '='), "ҳҲ=+");
  EXPECT_EQ(cells(kirill, '1'), "----");
}

TEST(KeymapFile, ValidLinesSetTheirCells) {
  KeyMap map;
  parse_keymap(
      "# my layout\r\n"
      "o - - U+00F6 Ö\r\n"
      "\xEF\xBB\xBF" "g ğ Ğ\n"
      "q u+2116 U++41 U+0000000042 u+10ffff extra tokens\n"
      "w ʼ\n"
      "w - \"\n"  // later lines overwrite, cells not given stay
      "s\n",
      map);
  EXPECT_EQ(cells(map, 'o'), "--öÖ");
  EXPECT_EQ(cells(map, 'g'), "ğĞ--");
  EXPECT_EQ(cell(map, 'q', Cell::Normal), U'№');
  EXPECT_EQ(cell(map, 'q', Cell::Shift), U'A');
  EXPECT_EQ(cell(map, 'q', Cell::AltGr), U'B');
  EXPECT_EQ(cell(map, 'q', Cell::AltGrShift), U'\U0010FFFF');
  EXPECT_EQ(cells(map, 'w'), "-\"--");
  EXPECT_EQ(cells(map, 's'), "----");
}

TEST(KeymapFile, InvalidLinesAreIgnoredWhole) {
  for (const char* line : {
           "o U+0007",          // control character by code
           "o ö \x7f",          // DEL
           "o ö \xC2\x80",      // U+0080, a C1 control
           "o ö U+D800",        // surrogate
           "o ö U+110000",      // beyond Unicode
           "o ö U+100000041",   // does not fit in 32 bits
           "o ö U+",            // no digits
           "o ö U++",           // no digits after the extra plus
           "o ö U+++41",        // only one extra plus
           "o ö U+4G",          // not hexadecimal
           "o ö ab",            // two characters
           "O ö Ö",             // key names are exact
           "ö o O",             // not a key position
           "oo ö Ö",
       }) {
    KeyMap map;
    parse_keymap(std::string(line) + "\n", map);
    EXPECT_TRUE(is_empty(map)) << line;
  }
  KeyMap map;
  parse_keymap("o ö\no ö U+0007\n", map);
  EXPECT_EQ(cells(map, 'o'), "ö---");  // the good line stands, the bad one changed nothing
  KeyMap untouched;
  parse_keymap("o ö\n\xff\n", untouched);  // not UTF-8: the whole file counts as empty
  EXPECT_TRUE(is_empty(untouched));
}

TEST(KeymapLookup, ShiftCapsLockAndAltGr) {
  const KeyMap tilmoch = builtin_keymap("tilmoch");
  const unsigned bracket = *scan_code_of("[");
  // Caps Lock acts like Shift on a lowercase/uppercase letter pair...
  EXPECT_EQ(keymap_lookup(tilmoch, bracket, false, false, false), U'ö');
  EXPECT_EQ(keymap_lookup(tilmoch, bracket, true, false, false), U'Ö');
  EXPECT_EQ(keymap_lookup(tilmoch, bracket, false, true, false), U'Ö');
  EXPECT_EQ(keymap_lookup(tilmoch, bracket, true, true, false), U'ö');
  // ...but not on other characters.
  EXPECT_EQ(keymap_lookup(tilmoch, bracket, false, true, true), U'[');
  EXPECT_EQ(keymap_lookup(tilmoch, bracket, true, true, true), U'{');
  const unsigned grave = *scan_code_of("`");
  EXPECT_EQ(keymap_lookup(tilmoch, grave, false, true, false), U'\u02BC');  // ʼ is not lowercase

  const KeyMap altgr = builtin_keymap("altgr");
  const unsigned o = *scan_code_of("o");
  EXPECT_EQ(keymap_lookup(altgr, o, false, true, true), U'Ö');
  EXPECT_EQ(keymap_lookup(altgr, o, true, true, true), U'ö');
  EXPECT_FALSE(keymap_lookup(altgr, o, false, false, false).has_value());

  // Turkish dotless and dotted i pair with their own capitals.
  const KeyMap turkish = builtin_keymap("turkish");
  EXPECT_EQ(keymap_lookup(turkish, *scan_code_of("i"), false, true, false), U'I');
  EXPECT_EQ(keymap_lookup(turkish, *scan_code_of("'"), false, true, false), U'İ');

  // A pair that is not lower/upper: Caps Lock does nothing.
  KeyMap custom;
  parse_keymap("a ö ö\nb - B\n", custom);
  EXPECT_EQ(keymap_lookup(custom, *scan_code_of("a"), false, true, false), U'ö');
  EXPECT_FALSE(keymap_lookup(custom, *scan_code_of("b"), false, true, false).has_value());
  EXPECT_EQ(keymap_lookup(custom, *scan_code_of("b"), true, true, false), U'B');

  EXPECT_FALSE(keymap_lookup(tilmoch, 96, false, false, false).has_value());
  EXPECT_FALSE(keymap_lookup(tilmoch, 0xFFFF, true, true, true).has_value());
}

TEST(UserFiles, AMegabyteOfGarbageParses) {
  for (const std::uint32_t seed : {1u, 2u}) {
    const std::string text = vexo::test_data::near_miss_file(1u << 20, seed);
    KeyMap map = builtin_keymap("kirill");
    parse_keymap(text, map);
    for (unsigned scan = 0; scan < kScanCodeCount; ++scan) {
      for (const bool shift : {false, true}) {
        const auto c = keymap_lookup(map, scan, shift, false, !shift);
        EXPECT_FALSE(c && is_control_character(*c)) << scan;
      }
    }
    Settings settings;
    parse_settings(text, settings);
    EXPECT_FALSE(is_control_character(settings.options.tutuq));
    EXPECT_TRUE(settings.layout == "custom" || is_builtin_layout(settings.layout));
    const auto keys = parse_exceptions(text);
    EXPECT_FALSE(keys.empty());
  }
}

}  // namespace
}  // namespace vexo::tsf
