// Temporary bodies for the English guard, apostrophe restoration and Latin to
// Cyrillic until their real implementations land: no word is scored or
// classed or known, nothing is restored, and Cyrillic output is the text as
// given. The conversion then behaves as with the guard and restoration
// switched off.
#include "core/lang.h"
#include "core/to_cyr.h"

namespace vexo {

float english_score(std::string_view) { return 0.0f; }
NameClass name_class(std::string_view) { return NameClass::Plain; }
WordStanding is_uzbek_word(std::string_view) { return {}; }
std::optional<Restored> restore_apostrophes(std::string_view, bool, bool, bool) {
  return std::nullopt;
}
std::string to_cyrillic(std::string_view text) { return std::string(text); }

}  // namespace vexo
