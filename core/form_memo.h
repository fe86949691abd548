// A bounded memo of pure per-form results, kept for one conversion call.
//
// Prose repeats its words: most of a text is a few thousand forms, so the
// decisions about a form are worth remembering while one text converts. The
// memo forgets everything once it holds kMaxForms forms, which bounds its
// memory however long the text. Not shared between calls or threads.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace vexo {

template <typename Value>
class FormMemo {
 public:
  static constexpr std::size_t kMaxForms = 1 << 15;

  // The value remembered for a form, or nullptr.
  const Value* find(std::string_view form) const {
    const auto it = map_.find(form);
    return it == map_.end() ? nullptr : &it->second;
  }

  const Value& remember(std::string_view form, Value value) {
    if (map_.size() >= kMaxForms) map_.clear();
    return map_.emplace(std::string(form), std::move(value)).first->second;
  }

 private:
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  std::unordered_map<std::string, Value, Hash, std::equal_to<>> map_;
};

}  // namespace vexo
