// Fuzzes the C interface with arbitrary bytes: the first byte picks the flags,
// the rest is converted whole and, cut at spaces, typed word by word into a
// session. Any input must give a result or null, never a crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tsf/vexo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint32_t flags = data[0];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  if (text.find('\0') != std::string::npos) return 0;

  vexo_free(vexo_convert(text.c_str(), flags));
  vexo_free(vexo_to_old(text.c_str(), flags & 1));
  vexo_free(vexo_to_cyrillic(text.c_str()));

  vexo_session* session = vexo_session_new();
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    std::uint32_t count = 0;
    char* word = vexo_session_complete_word(session, text.substr(start, end - start).c_str(),
                                            flags, &count);
    if (word != nullptr && count == 0) __builtin_trap();  // a replacement replaces something
    vexo_free(word);
    if ((flags & 0x80) != 0 && end % 7 == 0) vexo_session_reset(session);
    start = end + 1;
  }
  vexo_session_free(session);
  return 0;
}
