#include "tsf/context_guard.h"

#include <algorithm>

namespace vexo::tsf {
namespace {

constexpr std::int32_t kHidingScopes[] = {
    31,  // IS_PASSWORD
    63,  // IS_NUMERIC_PASSWORD
    64,  // IS_NUMERIC_PIN
    65,  // IS_ALPHANUMERIC_PIN
    66,  // IS_ALPHANUMERIC_PIN_SET
};

}  // namespace

bool scopes_hide_text(std::span<const std::int32_t> scopes) {
  return std::ranges::any_of(scopes, [](std::int32_t s) {
    return std::ranges::find(kHidingScopes, s) != std::end(kHidingScopes);
  });
}

ContextKind context_kind(const ContextFacts& facts) {
  if (!facts.present) return ContextKind::None;
  if (facts.keyboard_disabled || facts.empty || facts.hides_text) return ContextKind::Protected;
  return facts.transitory ? ContextKind::Transitory : ContextKind::Ordinary;
}

std::optional<std::string> protected_context_line(const ContextFacts& facts, bool& logged) {
  if (context_kind(facts) != ContextKind::Protected || logged) return std::nullopt;
  logged = true;
  const char* why = facts.hides_text          ? "password field"
                    : facts.keyboard_disabled ? "keyboard disabled"
                                              : "empty context";
  return std::string("context left alone: ") + why;
}

}  // namespace vexo::tsf
