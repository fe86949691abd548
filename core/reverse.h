// New-to-old conversion: ö ğ ş ç and the tutuq back to the spelling in use
// before 2026 (oʻ gʻ sh ch ʼ, or o' g' sh ch ' with `ascii`).
#pragma once

#include <string>
#include <string_view>

namespace vexo {

// One left-to-right pass over the whole text; each character is decided by
// itself and its two neighbours. Text without ö ğ ş ç, apostrophes or s/c
// before h comes back unchanged.
std::string to_old(std::string_view text, bool ascii);

}  // namespace vexo
