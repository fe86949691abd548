// Table column names followed into the structured references of formulas.
#include "cli/formula_names.h"

#include <gtest/gtest.h>

namespace vexo::cli {
namespace {

TEST(FormulaNames, StructuredReferencesFollowTheirColumns) {
  // Upper-cases every name, so what is renamed shows.
  const auto upper = [](std::string_view name) {
    std::string out(name);
    for (char& c : out) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    return out;
  };
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"SUM(Jadval1[narx])", "SUM(Jadval1[NARX])"},
      {"Jadval1[[#This Row],[ko''cha]]&[@narx]&[@[bosh joy]]",
       "Jadval1[[#This Row],[KO''CHA]]&[@NARX]&[@[BOSH JOY]]"},
      {"Jadval1[[#Headers],[a]:[b'#1]]", "Jadval1[[#Headers],[A]:[B'#1]]"},
      // String literals and quoted sheet names are not references.
      {"\"[narx]\"&'ro''yxat'!A1&[1]varaq!B2", "\"[narx]\"&'ro''yxat'!A1&[1]varaq!B2"},
      {"A1+B2", "A1+B2"},
      {"Jadval1[narx", "Jadval1[narx"},
      {"[", "["},
      {"[@", "[@"},
  };
  for (const auto& [formula, expected] : cases) {
    EXPECT_EQ(rename_table_columns(formula, upper), expected) << formula;
  }
  // A renamed column whose new name holds a special character gets it escaped.
  EXPECT_EQ(rename_table_columns("T[x]", [](std::string_view) { return std::string("o'[1]"); }),
            "T[o'''[1']]");
}

TEST(FormulaNames, StoredColumnNamesEscapeControlCharacters) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"Ko'cha_x000a_nomi", "Ko'cha\nnomi"},
      {"a_x000D__x000A_b", "a\r\nb"},
      {"_x005f_x0041_", "_x0041_"},  // an escaped underscore
      {"_x00e9_ _x12_ _xZZZZ_ _x", "_x00e9_ _x12_ _xZZZZ_ _x"},
  };
  for (const auto& [stored, name] : cases) {
    EXPECT_EQ(decode_column_name(stored), name) << stored;
  }
  EXPECT_EQ(encode_column_name("K\u00f6\u00e7a\nnomi"), "K\u00f6\u00e7a_x000a_nomi");
  EXPECT_EQ(encode_column_name("_x0041_ _y"), "_x005f_x0041_ _y");
}

}  // namespace
}  // namespace vexo::cli
