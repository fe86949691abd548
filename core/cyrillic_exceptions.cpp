#include "core/cyrillic_exceptions.h"

#include <algorithm>

namespace vexo {

std::optional<std::string_view> cyrillic_exception(std::string_view key) {
  const auto it = std::lower_bound(
      cyrillic_spellings.begin(), cyrillic_spellings.end(), key,
      [](const CyrillicSpelling& entry, std::string_view k) { return entry.key < k; });
  if (it == cyrillic_spellings.end() || it->key != key) return std::nullopt;
  return it->cyrillic;
}

}  // namespace vexo
