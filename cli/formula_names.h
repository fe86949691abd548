// Table column names inside spreadsheet formulas. A structured reference
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

}  // namespace vexo::cli
