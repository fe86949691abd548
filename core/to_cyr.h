// Latin (old or new spelling) to Uzbek Cyrillic.
#pragma once

#include <string>
#include <string_view>

namespace vexo {

// The whole text in Uzbek Cyrillic; English words, links and code stay Latin.
std::string to_cyrillic(std::string_view text);

}  // namespace vexo
