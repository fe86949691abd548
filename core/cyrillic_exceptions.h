// Loanwords whose standard Cyrillic spelling the letter rules cannot produce
// from Latin (sirk -> цирк, konsert -> концерт, aksiya -> акция). The table
// is generated at build time from core/data/cyrillic_exceptions.tsv and lives
// in read-only data.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace vexo {

struct CyrillicSpelling {
  std::string_view key;       // lowercase, 2026 alphabet, apostrophes as U+02BC
  std::string_view cyrillic;  // lowercase
};

// The whole table, sorted by the bytes of the key.
extern const std::span<const CyrillicSpelling> cyrillic_spellings;

// The lowercase Cyrillic spelling listed for a key, or nullopt.
std::optional<std::string_view> cyrillic_exception(std::string_view key);

struct ListedSpelling {
  std::string_view cyrillic;  // lowercase
  std::size_t length;         // characters of the Latin word it stands for
};

// The listed spelling of a Latin word in the 2026 alphabet (any case), or of
// its longest listed stem of at least four characters when the rest is a
// chain of Uzbek endings (konsertlari -> концерт + lari). A stem's final ь is
// left out, as it is before endings (avtomobillar -> автомобил + lar).
std::optional<ListedSpelling> find_listed_spelling(std::span<const char32_t> word);

}  // namespace vexo
