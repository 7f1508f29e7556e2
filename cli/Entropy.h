// The strength of one password of some settings, for --entropy.
#pragma once

#include "engine/GenerationSettings.h"

// The bits of entropy of one password drawn uniformly from what the settings allow: the
// random characters from the pool; under the every-set rule, from the passing strings
// only; a variable length adds its uniform draw of 5 to N. 0 when nothing is drawn.
// Not the 15-bit generator's bound: a seeded run follows from one of 2^32 seeds.
double PasswordEntropyBits(const CGenerationSettings& settings, bool everySet);

// The bytes of a run of `count` such passwords with lines ending in `lineEnd` bytes (on
// average, for variable lengths).
double RunBytes(const CGenerationSettings& settings, double count, int lineEnd);
