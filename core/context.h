// The context model of apostrophe restoration: word-pair counts that choose
// between two words written alike once the o'/g' apostrophes are left out
// (bir oz / o'z uyiga, ota ona / o'ta muhim), embedded at build time.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vexo {

// The words around the one being restored, as keys without o'/g'
// apostrophes (bare_key); empty where there is none or where they are not
// needed. A typing session knows only the word before. `mid_sentence` tells
// a word after the first of its sentence: capitalised there, it is a name.
// `written` tells a paragraph that shows apostrophes typed: there only a
// form that is no word as written (boladi) is restored.
struct Neighbours {
  std::string_view left;
  std::string_view right;
  bool mid_sentence = false;
  bool written = false;  // the paragraph shows apostrophes typed: words stay as written
};

// The key of a word with the apostrophes after o and g dropped (o'zbek ->
// ozbek), so that a neighbour reads the same typed with or without them.
std::string bare_key(std::string_view word);

// Whether `restored` (o'z) rather than `own` (oz) is the reading meant, both
// lowercase keys of listed words with the given lexicon weights, judged by
// the weights and by how often each reading stands beside the neighbours.
// nullopt when the model does not hold both readings.
std::optional<bool> prefers_restored(std::string_view own, float own_weight,
                                     std::string_view restored, float restored_weight,
                                     const Neighbours& neighbours);

}  // namespace vexo
