// The C interface: plain functions over NUL-terminated UTF-8 for programs
// that are not written in C++. Each function checks its input, calls the
// core and hands back a malloc'd copy of the result.
#include "tsf/vexo.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "core/lexicon.h"
#include "core/lib.h"
#include "core/reverse.h"
#include "core/session.h"
#include "core/to_cyr.h"
#include "core/unicode.h"

struct vexo_session {
  vexo::TypingSession session;
};

namespace {

// Runs `body` where no exception can leave: anything thrown (only running out
// of memory, which ordinary input does not reach) ends the process instead of
// unwinding into C code.
template <typename Body>
auto without_exceptions(Body body) noexcept {
  return body();
}

// The text, when it is present and valid UTF-8.
std::optional<std::string_view> usable_text(const char* text) {
  if (text == nullptr) return std::nullopt;
  const std::string_view view(text);
  if (!vexo::is_valid_utf8(view)) return std::nullopt;
  return view;
}

// A malloc'd NUL-terminated copy for the caller, or null when the text holds a
// NUL byte (the caller could not tell where it ends).
char* caller_copy(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) return nullptr;
  char* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy == nullptr) std::abort();
  std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  return copy;
}

vexo::ConvertOptions options_from_flags(std::uint32_t flags) {
  vexo::ConvertOptions options;
  options.guard = (flags & VEXO_NO_GUARD) == 0;
  options.cyrillic = (flags & VEXO_NO_CYRILLIC) == 0;
  options.tutuq = (flags & VEXO_ASCII_TUTUQ) != 0 ? U'\'' : vexo::kDefaultTutuq;
  options.restore = (flags & VEXO_NO_RESTORE) == 0;
  return options;
}

}  // namespace

extern "C" {

char* vexo_convert(const char* text, uint32_t flags) {
  return without_exceptions([&]() -> char* {
    const auto input = usable_text(text);
    if (!input) return nullptr;
    return caller_copy(vexo::convert(*input, options_from_flags(flags)));
  });
}

char* vexo_to_old(const char* text, uint32_t ascii) {
  return without_exceptions([&]() -> char* {
    const auto input = usable_text(text);
    if (!input) return nullptr;
    return caller_copy(vexo::to_old(*input, ascii != 0));
  });
}

char* vexo_to_cyrillic(const char* text) {
  return without_exceptions([&]() -> char* {
    const auto input = usable_text(text);
    if (!input) return nullptr;
    return caller_copy(vexo::to_cyrillic(*input));
  });
}

void vexo_free(char* text) { std::free(text); }

vexo_session* vexo_session_new(void) {
  return without_exceptions([] { return new vexo_session; });
}

void vexo_session_reset(vexo_session* session) {
  if (session != nullptr) session->session.reset();
}

void vexo_session_free(vexo_session* session) { delete session; }

char* vexo_session_complete_word(vexo_session* session, const char* word, uint32_t flags,
                                 uint32_t* typed_count) {
  return without_exceptions([&]() -> char* {
    const auto input = usable_text(word);
    if (!input || session == nullptr) return nullptr;
    const auto replacement = session->session.complete_word(*input, options_from_flags(flags));
    if (!replacement || replacement->typed_length > std::numeric_limits<uint32_t>::max()) {
      return nullptr;
    }
    char* result = caller_copy(replacement->word);
    if (result != nullptr && typed_count != nullptr) {
      *typed_count = static_cast<uint32_t>(replacement->typed_length);
    }
    return result;
  });
}

void vexo_warm_up(void) {
  without_exceptions([] { vexo::warm_up(); });
}

}  // extern "C"
