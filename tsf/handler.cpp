#include "tsf/handler.h"

namespace vexo::tsf {

std::string failed_message(std::string_view label, HResult hr) {
  return std::string(label) + " failed hr=" + format_hr(hr);
}

std::optional<std::string> slow_message(std::string_view label, std::int64_t elapsed_ms) {
  if (elapsed_ms < kSlowHandlerMs) return std::nullopt;
  return "slow " + std::string(label) + ": " + std::to_string(elapsed_ms) + " ms";
}

}  // namespace vexo::tsf
