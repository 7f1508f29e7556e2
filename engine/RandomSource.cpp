// The process-wide random source.
#include "engine/RandomSource.h"

CRandomSource theRandom;
