// Temporary body for Latin to Cyrillic until its real implementation lands:
// the text comes back as given.
#include "core/to_cyr.h"

namespace vexo {

std::string to_cyrillic(std::string_view text) { return std::string(text); }

}  // namespace vexo
