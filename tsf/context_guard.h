// Contexts the text service leaves alone: fields that take keys but hide
// their text (passwords and PINs), contexts whose keyboard is disabled, and
// empty contexts. Neither path tracks, converts or retypes there, so a
// passphrase is never rewritten. What a context says about itself is read
// at the COM edge (compartments, input scopes, status); the decision and its
// log line are made here.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "tsf/fallback.h"

namespace vexo::tsf {

struct ContextFacts {
  bool present = true;            // a context at all
  bool keyboard_disabled = false;  // GUID_COMPARTMENT_KEYBOARD_DISABLED is non-zero
  bool empty = false;              // GUID_COMPARTMENT_EMPTYCONTEXT is non-zero
  bool hides_text = false;         // an input scope of a password or PIN
  bool transitory = false;         // TS_SS_TRANSITORY
};

// True when any of the input scopes (InputScope values) is a password or a
// PIN: IS_PASSWORD, IS_NUMERIC_PASSWORD, IS_NUMERIC_PIN, IS_ALPHANUMERIC_PIN,
// IS_ALPHANUMERIC_PIN_SET.
bool scopes_hide_text(std::span<const std::int32_t> scopes);

// The context as the key handling sees it.
ContextKind context_kind(const ContextFacts& facts);

// The line "context left alone: {why}" the first time a protected context
// is met (`logged` false, then set); nothing otherwise.
std::optional<std::string> protected_context_line(const ContextFacts& facts, bool& logged);

}  // namespace vexo::tsf
