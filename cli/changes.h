// Changes a conversion makes to a text, and their printed listing: the
// output of `vexo diff` and of the dry run of `vexo file`.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexo::cli {

// One changed word and where it is (a line number, or whatever names the
// place in a document).
struct Change {
  std::string location;
  std::string old_word;
  std::string new_word;
};

// The word changes between two versions of a text, located by 1-based line
// number. When the texts have different numbers of lines, the words are
// compared over the whole texts and every change is located at line 0.
std::vector<Change> collect_changes(std::string_view old_text, std::string_view new_text);

enum class ListingMode {
  EachChange,  // "{location}: {old} → {new}" for every change, in order
  Grouped,     // "{count}× {old} → {new}" per distinct pair, most frequent first,
               // then "({location}: {count}, ...)"
};

// The printed listing of the changes, every line starting with `prefix`, and
// ending with the line "{n} ta o'zgarish, {k} xil so'z".
std::string list_changes(std::span<const Change> changes, ListingMode mode,
                         std::string_view prefix);

}  // namespace vexo::cli
