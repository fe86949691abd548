// Changes a conversion makes to a text, and their printed listing: the
// output of `vexo diff` and of the dry run of `vexo file`.
#pragma once

#include <cstddef>
#include <map>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>
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

class ChangeSink;

// The same for one piece of a longer text, whose first line is line
// `first_line` of the whole, handed to `sink` one change at a time.
void collect_changes(std::string_view old_text, std::string_view new_text,
                     std::size_t first_line, ChangeSink& sink);

enum class ListingMode {
  EachChange,  // "{location}: {old} → {new}" for every change, in order
  Grouped,     // "{count}× {old} → {new}" per distinct pair, most frequent first,
               // then "({location}: {count}, ...)"
};

// The printed listing of the changes, every line starting with `prefix`, and
// ending with the line "{n} ta o'zgarish, {k} xil so'z".
std::string list_changes(std::span<const Change> changes, ListingMode mode,
                         std::string_view prefix);

// Receives the changes of a conversion one at a time, so that a caller can
// count or group them without holding every one.
class ChangeSink {
 public:
  virtual ~ChangeSink() = default;
  virtual void add(std::string_view location, std::string_view old_word,
                   std::string_view new_word) = 0;
  // True when only the number of changes matters: a caller may then pass
  // empty words to add() and save finding them.
  virtual bool counts_only() const { return false; }
};

// Keeps every change, in order.
class ChangeList final : public ChangeSink {
 public:
  void add(std::string_view location, std::string_view old_word,
           std::string_view new_word) override;
  std::vector<Change> changes;
};

// Distinct (old, new) pairs held for a listing's count of distinct words and
// for the grouped listing; changes with pairs beyond these are counted but
// not told apart.
inline constexpr std::size_t kMaxTalliedPairs = std::size_t{1} << 16;

// Builds the EachChange listing a change at a time: the lines so far can be
// taken out while more changes come; the last line needs them all.
class ChangeListing final : public ChangeSink {
 public:
  explicit ChangeListing(std::string_view prefix) : prefix_(prefix) {}
  void add(std::string_view location, std::string_view old_word,
           std::string_view new_word) override;
  // The lines of the changes added since the last call.
  std::string take_lines() { return std::exchange(lines_, {}); }
  // The bytes of those lines.
  std::size_t held_bytes() const { return lines_.size(); }
  // The closing line "{n} ta o'zgarish, {k} xil so'z"; distinct pairs past
  // kMaxTalliedPairs are not told apart ("{k}+ xil so'z").
  std::string summary() const;

 private:
  std::string prefix_;
  std::string lines_;
  std::size_t count_ = 0;
  std::set<std::pair<std::string, std::string>> pairs_;
  bool more_pairs_ = false;
};

// Counts changes per distinct pair and per location: memory grows with the
// number of distinct pairs (at most kMaxTalliedPairs) and locations, not with
// the number of changes.
class ChangeTally final : public ChangeSink {
 public:
  void add(std::string_view location, std::string_view old_word,
           std::string_view new_word) override;
  std::size_t count() const { return count_; }
  // The grouped listing (ListingMode::Grouped). Changes whose pair did not
  // fit are summed up in one line before the locations.
  std::string listing(std::string_view prefix) const;

 private:
  std::size_t count_ = 0;
  std::size_t unlisted_ = 0;
  std::map<std::pair<std::string, std::string>, std::size_t, std::less<>> pairs_;
  std::map<std::string, std::size_t, std::less<>> locations_;
};

}  // namespace vexo::cli
