// Loanwords whose standard Cyrillic spelling the letter rules cannot produce
// from Latin (sirk -> цирк, konsert -> концерт, aksiya -> акция). The table
// is generated at build time from core/data/cyrillic_exceptions.tsv and lives
// in read-only data.
#pragma once

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

}  // namespace vexo
