#include "tsf/handler.h"

#include <cstdio>

namespace vexo::tsf {

std::string hr_text(HResult hr) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%x", static_cast<unsigned>(hr));
  return buffer;
}

std::string failed_message(std::string_view label, HResult hr) {
  return std::string(label) + " failed hr=" + hr_text(hr);
}

std::optional<std::string> slow_message(std::string_view label, std::int64_t elapsed_ms) {
  if (elapsed_ms < kSlowHandlerMs) return std::nullopt;
  return "slow " + std::string(label) + ": " + std::to_string(elapsed_ms) + " ms";
}

}  // namespace vexo::tsf
