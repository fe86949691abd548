// Any bytes as settings.ini or exceptions.txt: parsing must neither crash nor
// leave the settings in a state the service could not use.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/unicode.h"
#include "tsf/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  vexo::tsf::Settings settings;
  vexo::tsf::parse_settings(text, settings);
  if (settings.options.tutuq == 0 || settings.options.tutuq > 0x10FFFF) __builtin_trap();
  for (const std::string& app : settings.disabled_apps) {
    if (app.empty() || !vexo::is_valid_utf8(app)) __builtin_trap();
  }
  (void)vexo::tsf::is_active_for(settings, "notepad.exe");
  for (const std::string& key : vexo::tsf::parse_exceptions(text)) {
    if (key.empty() || !vexo::is_valid_utf8(key)) __builtin_trap();
  }
  return 0;
}
