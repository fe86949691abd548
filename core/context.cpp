#include "core/context.h"

#include <cmath>

#include "core/lexicon.h"
#include "core/lib.h"
#include "core/list_data.h"

namespace vexo {
namespace {

// Lexicon weights are 0.866 per power of ten of frequency.
constexpr double kWeightsPerDecade = 0.866;
// Pair counts are smoothed towards the weights' odds by this many virtual pairs.
constexpr double kPriorPairs = 1.0;

double count_of(const std::string& key) {
  const Lookup found = lexicon_lookup(list_data::context, key);
  return found.found ? static_cast<double>(found.weight) : 0.0;
}

// The log odds a neighbour adds for `restored` over `own`: zero when it was
// never seen next to either.
double neighbour_evidence(std::string_view own, std::string_view restored, std::string_view neighbour,
                          bool left, double prior) {
  if (neighbour.empty()) return 0.0;
  const auto pair = [&](std::string_view reading) {
    std::string key;
    if (left) {
      key.append(neighbour).push_back('<');
      key.append(reading);
    } else {
      key.append(reading).push_back('>');
      key.append(neighbour);
    }
    return count_of(key);
  };
  const double with_own = pair(own);
  const double with_restored = pair(restored);
  if (with_own + with_restored == 0.0) return 0.0;
  const double p = (with_restored + kPriorPairs * prior) / (with_own + with_restored + kPriorPairs);
  return std::log(p / (1.0 - p)) - std::log(prior / (1.0 - prior));
}

}  // namespace

std::string bare_key(std::string_view word) {
  std::string key = word_key(word);
  std::string out;
  out.reserve(key.size());
  for (std::size_t i = 0; i < key.size(); ++i) {
    if (key[i] == '\'' && i > 0 && (key[i - 1] == 'o' || key[i - 1] == 'g')) continue;
    out.push_back(key[i]);
  }
  return out;
}

std::optional<bool> prefers_restored(std::string_view own, float own_weight,
                                     std::string_view restored, float restored_weight,
                                     const Neighbours& neighbours) {
  if (count_of(std::string(own)) == 0.0 || count_of(std::string(restored)) == 0.0) return std::nullopt;
  const double odds =
      std::pow(10.0, static_cast<double>(restored_weight - own_weight) / kWeightsPerDecade);
  const double prior = odds / (1.0 + odds);
  const double evidence = std::log(odds) + neighbour_evidence(own, restored, neighbours.left, true, prior) +
                          neighbour_evidence(own, restored, neighbours.right, false, prior);
  return evidence > 0.0;
}

}  // namespace vexo
