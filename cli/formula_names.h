// Table column names: as a table stores them, and inside spreadsheet
// formulas. A table writes a control character of a name (a line break of
// its header cell) as _xHHHH_. A structured reference
// names a table's column between brackets (Jadval1[Narx],
// Jadval1[[#This Row],[Ko''cha]], [@Narx]); when the columns are renamed,
// the formulas must follow, as they do when a column is renamed in the
// application.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace vexo::cli {

// The formula with every column name of its structured references replaced
// by rename(name). Names are unescaped before the call (the application
// writes ' before [ ] # and ' in a name) and escaped again after it; string
// literals and quoted sheet names are left alone, and so are the special
// items (#All, #Data, #Headers, #Totals, #This Row).
std::string rename_table_columns(std::string_view formula,
                                 const std::function<std::string(std::string_view)>& rename);

// A column name as a table stores it, decoded (_x000a_ becomes a line feed)
// and encoded again. Escapes of characters beyond ASCII are left as written.
std::string decode_column_name(std::string_view stored);
std::string encode_column_name(std::string_view name);

}  // namespace vexo::cli
