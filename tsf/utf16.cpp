#include "tsf/utf16.h"

#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <climits>

namespace vexo::tsf {

std::optional<std::string> utf16_to_utf8(std::u16string_view units) {
  if (units.empty()) return std::string();
  if (units.size() > INT32_MAX / 3) return std::nullopt;
  std::string out(units.size() * 3, '\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  // Without a substitution character ICU refuses unpaired surrogates.
  u_strToUTF8(out.data(), static_cast<int32_t>(out.size()), &length, units.data(),
              static_cast<int32_t>(units.size()), &status);
  if (U_FAILURE(status)) return std::nullopt;
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::u16string utf8_to_utf16(std::string_view text) {
  if (text.empty() || text.size() > INT32_MAX) return {};
  std::u16string out(text.size(), u'\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                static_cast<int32_t>(text.size()), &status);
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::u16string utf16_of(char32_t c) {
  char16_t units[2];
  int32_t length = 0;
  UBool error = false;
  U16_APPEND(units, length, 2, static_cast<UChar32>(c), error);
  if (error) return {};
  return std::u16string(units, static_cast<std::size_t>(length));
}

}  // namespace vexo::tsf
