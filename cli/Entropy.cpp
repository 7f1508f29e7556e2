// Entropy by counting: a password of r places from a pool of P characters is one of P^r,
// and the every-set rule keeps, by inclusion and exclusion over the required sets, the
// strings that miss none of them.
#include "cli/Entropy.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/CharacterPool.h"
#include "engine/EverySet.h"

namespace {

// log2 of the strings of r characters from `pool` characters that hold each of the sets
// whose sizes are `sets`.
double PassingBits(int r, double pool, const std::vector<double>& sets) {
  // The passing share: sum over subsets T of the sets of (-1)^|T| (1 - |T's chars| / pool)^r.
  double share = 0;
  const unsigned subsets = 1u << sets.size();
  for (unsigned t = 0; t < subsets; ++t) {
    double missing = 0;
    int sign = 1;
    for (std::size_t i = 0; i < sets.size(); ++i)
      if (t & (1u << i)) {
        missing += sets[i];
        sign = -sign;
      }
    share += sign * std::pow(1 - missing / pool, r);
  }
  return r * std::log2(pool) + std::log2(share);
}

bool IsVariable(const CGenerationSettings& s) {
  return s.mode == GenerationMode::Random && s.variableLength && s.length >= 6;
}

}  // namespace

double PasswordEntropyBits(const CGenerationSettings& s, bool everySet) {
  const CCharacterPool pool = CCharacterPool::Build(s);
  if (pool.Length() == 0) return 0;
  std::vector<double> sets;
  if (everySet) {
    const CSetRule rule(s, pool.View());
    for (unsigned bit : {CSetRule::kCapitals, CSetRule::kSmall, CSetRule::kDigits, CSetRule::kSpecial}) {
      if (!(rule.Required() & bit)) continue;
      const std::string_view chars = pool.View();
      sets.push_back(static_cast<double>(std::count_if(chars.begin(), chars.end(), [bit](char c) {
        return (CSetRule::ClassOf(static_cast<unsigned char>(c)) & bit) != 0;
      })));
    }
  }
  const double p = pool.Length();
  if (s.mode == GenerationMode::Masked) {
    const int places =
        s.symbolMask.empty() ? 0 : static_cast<int>(std::count(s.mask.begin(), s.mask.end(), s.symbolMask[0]));
    return places == 0 ? 0 : PassingBits(places, p, sets);
  }
  if (!IsVariable(s)) return PassingBits(s.length, p, sets);
  // Lengths 5 to N equally likely, and no string has two lengths: the length's bits plus
  // the mean of each length's bits.
  const int lengths = s.length - 4;
  double sum = 0;
  for (int r = 5; r <= s.length; ++r) sum += PassingBits(r, p, sets);
  return std::log2(lengths) + sum / lengths;
}

double RunBytes(const CGenerationSettings& s, double count, int lineEnd) {
  double length = s.mode == GenerationMode::Masked ? static_cast<double>(s.mask.size()) : s.length;
  if (IsVariable(s)) length = (5.0 + s.length) / 2;
  return count * (length + lineEnd);
}
