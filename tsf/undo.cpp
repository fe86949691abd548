#include "tsf/undo.h"

#include "core/token.h"
#include "tsf/exception_file.h"

namespace vexo::tsf {

bool is_undo_backspace(unsigned vk, const HeldModifiers& held, bool undo_backspace,
                       const std::optional<UndoRecord>& undo) {
  if (vk != kVkBackspace) return false;
  if (held.ctrl || held.alt || held.shift || held.left_win || held.right_win) return false;
  return undo_backspace && undo.has_value() && !undo->via_fallback;
}

bool key_keeps_undo(unsigned vk) {
  return vk == 0x10 || vk == 0xA0 || vk == 0xA1 || vk == kVkBackspace;
}

std::string exception_key(std::string_view word) { return word_key(split_word(word).core); }

bool is_exception(const ConvertOptions& options, std::string_view word) {
  const std::string key = exception_key(word);
  return !key.empty() && options.is_exception(key);
}

std::vector<std::string> after_restore(std::string_view typed, SettingsState& settings,
                                       TypingSession& session) {
  std::vector<std::string> log;
  const std::string_view core = split_word(typed).core;
  const std::string key = word_key(core);
  ConvertOptions& options = settings.settings.options;
  if (!key.empty() && !options.is_exception(key)) options.exceptions.push_back(key);
  session.reset();

  if (!settings.settings.undo_remember) {
    log.emplace_back("undo: restored (kept for this app only)");
    return log;
  }
  // The core of the word goes to the file: a line is read back as one key,
  // and punctuation typed with the word would make a key nothing matches.
  const std::optional<std::string> error =
      core.empty() ? std::nullopt : append_exception(settings.profile.settings_dir, core);
  log.push_back(error ? "undo: restored, exceptions write failed: " + *error
                      : "undo: restored, added to exceptions");
  refresh_stamps(settings);
  return log;
}

}  // namespace vexo::tsf
