// The edge of every text-service handler: failures are caught and logged as
// "panic in {label}", failing TSF calls as "{label} failed hr={hr}", and key
// handlers that ran 25 ms or more as "slow {label}: {ms} ms".
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "tsf/com_types.h"

namespace vexo::tsf {

// The slow-handler threshold: the time budget of one key on the input path.
inline constexpr std::int64_t kSlowHandlerMs = 25;

// "{label} failed hr={hr}".
std::string failed_message(std::string_view label, HResult hr);

// "slow {label}: {ms} ms" when the handler took kSlowHandlerMs or more.
std::optional<std::string> slow_message(std::string_view label, std::int64_t elapsed_ms);

// Runs `body`; a failure escaping it is logged through `log` as
// "panic in {label}" and `on_panic` is returned instead.
template <typename Result, typename Body, typename LogFn>
Result at_handler_edge(std::string_view label, Result on_panic, LogFn&& log, Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    try {
      log("panic in " + std::string(label));
    } catch (...) {
      // Nothing more can be done without letting the failure reach the host.
    }
    return on_panic;
  }
}

}  // namespace vexo::tsf
