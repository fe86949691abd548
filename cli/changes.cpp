// Change collection compares the texts line by line when their line counts
// agree, so that every change carries its line number; the listing counts
// changes and distinct (old, new) pairs.
#include "cli/changes.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include "cli/align.h"

namespace vexo::cli {
namespace {

// The lines of a text, split at every line feed; a carriage return stays
// part of its line.
std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(start));
      return lines;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

void append_changes(ChangeSink& sink, std::string_view old_text, std::string_view new_text,
                    const std::string& location) {
  for (const WordChange& change : word_changes(old_text, new_text)) {
    sink.add(location, change.old_word, change.new_word);
  }
}

std::string right_aligned(std::string text, std::size_t width) {
  if (text.size() < width) text.insert(0, width - text.size(), ' ');
  return text;
}

}  // namespace

std::vector<Change> collect_changes(std::string_view old_text, std::string_view new_text) {
  ChangeList list;
  collect_changes(old_text, new_text, 1, list);
  return std::move(list.changes);
}

void collect_changes(std::string_view old_text, std::string_view new_text,
                     std::size_t first_line, ChangeSink& sink) {
  const std::vector<std::string_view> old_lines = split_lines(old_text);
  const std::vector<std::string_view> new_lines = split_lines(new_text);
  if (old_lines.size() != new_lines.size()) {
    append_changes(sink, old_text, new_text, "0");
    return;
  }
  for (std::size_t k = 0; k < old_lines.size(); ++k) {
    if (old_lines[k] == new_lines[k]) continue;
    append_changes(sink, old_lines[k], new_lines[k], std::to_string(first_line + k));
  }
}

std::string list_changes(std::span<const Change> changes, ListingMode mode,
                         std::string_view prefix) {
  if (mode == ListingMode::Grouped) {
    ChangeTally tally;
    for (const Change& change : changes) tally.add(change.location, change.old_word, change.new_word);
    return tally.listing(prefix);
  }
  ChangeListing listing(prefix);
  for (const Change& change : changes) listing.add(change.location, change.old_word, change.new_word);
  return listing.take_lines() + listing.summary();
}

void ChangeListing::add(std::string_view location, std::string_view old_word,
                        std::string_view new_word) {
  lines_.append(prefix_).append(location).append(": ").append(old_word);
  lines_.append(" \u2192 ").append(new_word).push_back('\n');
  ++count_;
  if (pairs_.size() < kMaxTalliedPairs) {
    pairs_.emplace(old_word, new_word);
  } else if (!more_pairs_) {
    more_pairs_ = !pairs_.contains(std::pair{std::string(old_word), std::string(new_word)});
  }
}

std::string ChangeListing::summary() const {
  return prefix_ + std::to_string(count_) + " ta o'zgarish, " + std::to_string(pairs_.size()) +
         (more_pairs_ ? "+" : "") + " xil so'z\n";
}

void ChangeList::add(std::string_view location, std::string_view old_word,
                     std::string_view new_word) {
  changes.push_back({std::string(location), std::string(old_word), std::string(new_word)});
}

void ChangeTally::add(std::string_view location, std::string_view old_word,
                      std::string_view new_word) {
  ++count_;
  if (auto at = locations_.find(location); at != locations_.end()) {
    ++at->second;
  } else {
    locations_.emplace(std::string(location), 1);
  }
  const auto key = std::pair{std::string(old_word), std::string(new_word)};
  if (auto at = pairs_.find(key); at != pairs_.end()) {
    ++at->second;
  } else if (pairs_.size() < kMaxTalliedPairs) {
    pairs_.emplace(key, 1);
  } else {
    ++unlisted_;
  }
}

// Most frequent pairs first, then by old word and new word in byte order.
std::string ChangeTally::listing(std::string_view prefix) const {
  std::vector<std::pair<const std::pair<std::string, std::string>*, std::size_t>> order;
  order.reserve(pairs_.size());
  for (const auto& [pair, count] : pairs_) order.emplace_back(&pair, count);
  std::stable_sort(order.begin(), order.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });
  std::string out;
  for (const auto& [pair, count] : order) {
    out.append(prefix).append(right_aligned(std::to_string(count), 4)).append("\u00d7 ");
    out.append(pair->first).append(" \u2192 ").append(pair->second).push_back('\n');
  }
  if (unlisted_ > 0) {
    out.append(prefix).append(right_aligned(std::to_string(unlisted_), 4));
    out.append("\u00d7 (boshqa so'zlar, ro'yxatga sig'madi)\n");
  }
  if (count_ > 0) {
    out.append(prefix).push_back('(');
    bool first = true;
    for (const auto& [location, count] : locations_) {
      if (!first) out.append(", ");
      first = false;
      out.append(location).append(": ").append(std::to_string(count));
    }
    out.append(")\n");
  }
  out.append(prefix).append(std::to_string(count_)).append(" ta o'zgarish, ");
  out.append(std::to_string(pairs_.size())).append(unlisted_ > 0 ? "+" : "").append(" xil so'z\n");
  return out;
}

}  // namespace vexo::cli
